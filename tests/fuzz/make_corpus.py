#!/usr/bin/env python3
"""Writes the hand-made seeds of each fuzz target into corpus/<target>/.

Seeds are named after what they show; inputs that a fuzzer found sit beside them under libFuzzer's
names (crash-..., leak-..., timeout-...) and are never touched here. Run again after editing a seed.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("utf-8")
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def field(text, size):
    raw = text if isinstance(text, bytes) else text.encode("latin-1")
    return raw[:size].ljust(size, b"\0")


# Discovery replies: tag at 0, ip 10, mac 14, mask 20, gateway 27, name 32 (18), port 51 (4), ifType 62.
def reply(tag=b"IPCam", ip=(192, 168, 0, 20), mac=(2, 0, 0, 0, 0, 1), name=b"Lobby", port=b"8080", if_type=0,
          length=63):
    d = bytearray(max(length, 63))
    d[0:5] = tag
    d[10:14] = bytes(ip)
    d[14:20] = bytes(mac)
    d[20:24] = bytes((255, 255, 255, 0))
    d[27:31] = bytes((192, 168, 0, 1))
    d[32:50] = field(name, 18)
    d[51:55] = field(port, 4)
    d[62] = if_type
    return bytes(d[:length])


T = "DeviceReplyFuzz"
write(T, "generic_63", reply())
write(T, "maker_wifi_63", reply(tag=b"KXCam", mac=(0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E), port=b"80", if_type=0xAF))
write(T, "generic_50_no_port", reply(length=50))
write(T, "generic_49_too_short", reply(length=49))
write(T, "maker_2048_full_buffer", reply(tag=b"KXCam", name=b"Camera-Entrance-01", length=2048)[:63] + bytes(
    (i * 7) & 0xFF for i in range(2048 - 63)))
write(T, "name_18_unterminated_latin1", reply(name=b"Caf\xe9 \xc0 l'entr\xe9e!!!", port=b"9999"))
write(T, "port_signed", reply(port=b" -12"))
write(T, "port_garbage", reply(port=b"\xff\x01ab"))
write(T, "zero_address", reply(ip=(0, 0, 0, 0)))
write(T, "tag_mismatch", b"IPCaX" + reply()[5:])
write(T, "search_request_echo", b"PCEdit\x02" + bytes(187))


# Set-network commands: tag 0, command 6, "eth1" 7, ip 11, mac 15, mask 21, "gw" marker 25-27, gateway 28,
# byte 32, name 33 (18), 0xFD at 64, user 65 (64), password 129 (64).
def command(tag=b"KXEdit", eth1=True, ip=(192, 168, 0, 31), mac=(2, 0, 0, 0, 0, 1), mask=(255, 255, 255, 0),
            gateway=None, flag32=0, name=b"", login=None, length=194):
    d = bytearray(200)
    d[0:6] = tag
    d[6] = 1
    if eth1:
        d[7:11] = b"eth1"
    d[11:15] = bytes(ip)
    d[15:21] = bytes(mac)
    d[21:25] = bytes(mask)
    if gateway:
        d[25] = 1
        d[26:28] = b"gw"
        d[28:32] = bytes(gateway)
    d[32] = flag32
    d[33:51] = field(name, 18)
    if login:
        d[64] = 0xFD
        d[65:129] = field(login[0], 64)
        d[129:193] = field(login[1], 64)
    return bytes(d[:length])


T = "SetNetworkCommandFuzz"
write(T, "auto_change_ip_maker_194", command(gateway=(192, 168, 0, 254), login=(b"root", b"qnwt")))
write(T, "auto_change_ip_generic_194", command(tag=b"PCEdit", gateway=(192, 168, 0, 254)))
write(T, "version_check_detour_193", command(ip=(169, 254, 12, 34), mask=(255, 255, 0, 0), flag32=1,
                                             name=b"Lobby", login=(b"admin", b"secret"), length=193))
write(T, "upgrade_restore_193", command(eth1=False, gateway=(192, 168, 0, 1), flag32=1, name=b"Camera-Entrance-01",
                                        login=(b"root", b"qnwt"), length=193))
write(T, "credentials_63_each_200", command(login=(b"u" * 63, b"p" * 63), length=200))
write(T, "gateway_without_marker_194", command()[:28] + bytes((10, 0, 0, 1)) + command()[32:])
write(T, "too_short_192", command(login=(b"root", b"qnwt"), length=192))
write(T, "search_request_193", b"KXEdit\x02" + bytes(186))
write(T, "unknown_tag_194", b"XXEdit" + command()[6:])
write(T, "credentials_64_unterminated_194", command(login=(b"u" * 64, b"p" * 64)))


T = "SearchRequestFuzz"
generic = bytearray(200)
generic[0:7] = b"PCEdit\x02"
generic[25] = 2
generic[32] = 2
maker = bytearray(200)
maker[0:7] = b"KXEdit\x02"
maker[25] = 2
write(T, "generic_194", bytes(generic[:194]))
write(T, "maker_193", bytes(maker[:193]))
write(T, "shortest_7", b"PCEdit\x02")
write(T, "too_short_6", b"PCEdit")
write(T, "set_network_command", command())
write(T, "reply_tag", reply())

T = "Ipv4TextFuzz"
for name, text in [("factory", "192.168.0.20"), ("link_local", "169.254.12.34"), ("zero", "0.0.0.0"),
                   ("broadcast", "255.255.255.255"), ("octet_256", "256.1.1.1"), ("three_parts", "1.2.3"),
                   ("five_parts", "1.2.3.4.5"), ("leading_blank", " 1.2.3.4"), ("trailing_blank", "1.2.3.4 "),
                   ("four_digits", "1.2.3.1000"), ("letters", "a.b.c.d"), ("empty_part", "1..2.3"), ("empty", ""),
                   ("leading_zero", "192.168.0.010"), ("inner_blank", "1. 2.3.4"), ("plus_sign", "1.2.3.+4"),
                   ("nul_inside", "1.2.3.4\0junk"), ("second_256", "1.256.3.4"), ("third_300", "1.2.300.4"),
                   ("fourth_999", "1.2.3.999")]:
    write(T, name, text)

T = "MacTextFuzz"
for name, text in [("lower", "02:00:00:00:00:01"), ("upper", "AA:BB:CC:DD:EE:FF"), ("mixed", "00:1a:2B:3c:4D:5e"),
                   ("short", "aa:bb:cc:dd:ee:f"), ("dashes", "aa-bb-cc-dd-ee-ff"), ("seven_parts", "aa:bb:cc:dd:ee:ff:00"),
                   ("not_hex", "gg:hh:ii:jj:kk:ll"), ("empty", ""), ("leading_blank", " a:bb:cc:dd:ee:ff"),
                   ("minus_sign", "-1:bb:cc:dd:ee:ff"), ("nul_at_end", "aa:bb:cc:dd:ee:f\0")]:
    write(T, name, text)

T = "LooksLikeIpv4Fuzz"
for name, text in [("factory", "192.168.0.20"), ("link_local", "169.254.1.2"), ("ipv6", "fe80::1"),
                   ("ipv6_mapped", "::ffff:192.168.0.20"), ("three_parts", "1.2.3"), ("no_range_check", "300.1.1.1"),
                   ("empty", "")]:
    write(T, name, text)

T = "RangeTextFuzz"
for name, text in [("start", "31"), ("end", "250"), ("empty", ""), ("letters", "abc"), ("above_octet", "300"),
                   ("leading_blank", " 42"), ("negative", "-5"), ("plus", "+7"), ("huge", "99999999999999999999"),
                   ("trailing_text", "12abc"), ("hex", "0x10")]:
    write(T, name, text)


# Query replies: the first byte 0 delivers the body whole; see ChunkedInput for the cut layout.
def chunked(body, *lengths):
    return bytes([len(lengths)]) + bytes(n - 1 for n in lengths) + body.encode("latin-1")


one_line = ('Properties.Firmware.Model="IPC-1080" Properties.Firmware.Version="V1.05" '
            'Properties.Hardware.List="eth0,wifi"\r\n')
three_lines = ('Properties.Firmware.Model="IPC-1080"\r\nProperties.Firmware.Version="V1.05"\r\n'
               'Properties.Hardware.List="eth0,wifi"\r\n')
T = "FirmwareInfoReplyFuzz"
write(T, "one_line", chunked(one_line))
write(T, "three_lines", chunked(three_lines))
write(T, "three_lines_in_three_pieces", chunked(three_lines, 20, 40))
write(T, "cut_inside_version", chunked(three_lines, 60))
write(T, "every_byte_apart", chunked("Properties.Firmware.Model=\"M\"", 1, 1, 1))
write(T, "model_only", chunked('Properties.Firmware.Model="IPC-1080"\r\n'))
write(T, "no_hardware_list", chunked('Properties.Firmware.Model="IPC-1080" Properties.Firmware.Version="V1.05"\r\n'))
write(T, "empty_hardware_list", chunked('Properties.Firmware.Model="M" Properties.Firmware.Version="V" '
                                        'Properties.Hardware.List=""'))
write(T, "hardware_list_cut_by_end", chunked('Properties.Firmware.Model="M" Properties.Firmware.Version="V" '
                                             "Properties.Hardware.List='eth0,wi"))
write(T, "nul_in_values", chunked('Properties.Firmware.Model="IPC\0junk" Properties.Firmware.Version="V1\0"'))
write(T, "empty_model", chunked('Properties.Firmware.Model="" Properties.Firmware.Version="V1.05"'))
write(T, "single_quotes", chunked("Properties.Firmware.Model='IPC' Properties.Firmware.Version='V2.00'"))
write(T, "values_too_long", chunked('Properties.Firmware.Model="' + "M" * 40 + '" Properties.Firmware.Version="' +
                                    "V" * 40 + '" Properties.Hardware.List="' + "h" * 300 + '"'))
write(T, "unauthorized_page", chunked("<html><body>401 Unauthorized</body></html>"))
write(T, "empty", b"")

T = "BurnTimeReplyFuzz"
for name, value in [("whole_seconds", "90"), ("fraction", "12.5"), ("empty", ""), ("letters", "abc"),
                    ("overflow", "1e400"), ("negative", "-5"), ("over_a_day", "86401"), ("nan", "nan"),
                    ("too_long", "9" * 40)]:
    write(T, name, chunked('OK,ImgBurnTimeSec="' + value + '"'))
write(T, "split_in_value", chunked('OK,ImgBurnTimeSec="120"', 20))
write(T, "refused", chunked("ERROR,Upgrade failed"))


# Journals of pending restores, as a start reads them.
T = "JournalFuzz"
command = "4b5845646974" + "00" * 187  # "KXEdit" and zeros: 193 bytes as hex
owner = '{"pid": 4242, "started": 99, "instance": 1}'
restore = ('{"owner": %s, "mac": "02:00:00:00:00:01", "name": "Lobby", "home": "192.168.0.20", '
           '"moved_to": "169.254.3.4", "adapter": "eth0", "command": "%s"}' % (owner, command))
route = '{"owner": %s, "adapter": "eth0", "ifindex": 2}' % owner
write(T, "one_restore_one_route", '{"version": 1, "restores": [%s], "routes": [%s]}' % (restore, route))
write(T, "empty", '{"version": 1, "restores": [], "routes": []}')
write(T, "other_version", '{"version": 2, "restores": [], "routes": []}')
write(T, "short_command", '{"version": 1, "restores": [%s], "routes": []}' % restore.replace(command, "4b58"))
write(T, "odd_hex", '{"version": 1, "restores": [%s], "routes": []}' % restore.replace(command, command[:-1]))
write(T, "upper_hex", '{"version": 1, "restores": [%s], "routes": []}' % restore.replace(command, command.upper()))
write(T, "bad_mac", '{"version": 1, "restores": [%s], "routes": []}' % restore.replace("02:00:00:00:00:01", "zz"))
write(T, "wrong_types", '{"version": "1", "restores": {}, "routes": 3}')
write(T, "negative_ifindex", '{"version": 1, "restores": [], "routes": [%s]}' % route.replace('"ifindex": 2', '"ifindex": -1'))
write(T, "deep_nesting", "[" * 4000 + "]" * 4000)
write(T, "truncated", ('{"version": 1, "restores": [%s], "routes": [%s]}' % (restore, route))[:150])
write(T, "not_utf8_name", ('{"version": 1, "restores": [%s], "routes": []}' % restore).replace("Lobby", "Lo\u00ffby").encode())
write(T, "nul_bytes", b'{"version": 1,\0 "restores": []}')

# Settings files; the first byte also tells the round trip where to cut the rest into user and password.
T = "SettingsTextFuzz"
write(T, "crlf", "root\r\nqnwt")
write(T, "lf_trailing", "admin\npass\n")
write(T, "blank_lines", "\r\n\r\nuser\r\n\r\n\npw\r\n")
write(T, "user_only", "onlyuser")
write(T, "line_break_only", "\r\n")
write(T, "nul_ends_text", b"root\0hidden\r\npw")
write(T, "utf8", "\x05用户名\r\n密码")
write(T, "cut_at_254", "x" * 300 + "\r\n" + "\U0001F600" * 130)
write(T, "full_1024", ("u" * 500 + "\r\n" + "p" * 600)[:1024])
write(T, "empty", b"")
write(T, "round_trip_ascii", b"\x04rootqnwt")
write(T, "round_trip_utf8", b"\x09" + "用户密码".encode())


def header(version=b"105", model=b"IPC-1080", length=100):
    h = bytearray(max(length, 100))
    h[24:24 + len(version)] = version
    h[68:68 + len(model)] = model
    for i in range(100, len(h)):
        h[i] = i & 0xFF
    return bytes(h[:length])


T = "FirmwareHeaderFuzz"
write(T, "empty_0", b"")
write(T, "cut_80", header(length=80))
write(T, "full_100", header())
write(T, "longer_200", header(length=200))
write(T, "nul_among_digits", header(version=b"1\0" + b"5"))
write(T, "fields_without_nul", header(version=b"9" * 32, model=b"M" * 12 + b"extra", length=100))


# Requests to the privileged helper: magic, op 4, name 8 (16), address 24, source 28, prefix 32,
# port 34; bytes 5 to 7 and from 36 on are zero (the retired operation 3 used them for addresses).
def helper_request(op, name=b"", address=0, source=0, prefix=0, port=0, entries=(), count=None):
    r = bytearray(164)
    r[0:4] = b"FWH1"
    r[4] = op
    r[5] = len(entries) if count is None else count
    r[8:8 + len(name)] = name
    struct.pack_into(">IIB", r, 24, address, source, prefix)
    struct.pack_into(">H", r, 34, port)
    for i, (a, p) in enumerate(entries):
        struct.pack_into(">IB", r, 36 + 8 * i, a, p)
    return bytes(r)


def ipv4(text):
    return struct.unpack(">I", bytes(int(x) for x in text.split(".")))[0]


T = "HelperRequestFuzz"
LINK_LOCAL = ipv4("169.254.0.0")
write(T, "add_route", helper_request(1, b"eth0", LINK_LOCAL, prefix=16))
write(T, "remove_route", helper_request(2, b"enp0s31f6", LINK_LOCAL, prefix=16))
write(T, "restore_two", helper_request(3, b"eth0", entries=[(ipv4("192.168.0.10"), 24), (ipv4("10.1.2.3"), 32)]))
write(T, "restore_sixteen", helper_request(3, b"eth1", entries=[(ipv4("10.0.0.%d" % i), 24) for i in range(1, 17)]))
write(T, "reclaim_route", helper_request(8, b"eth0", LINK_LOCAL, prefix=16))
write(T, "arp_link_local_sender", helper_request(4, b"eth0", ipv4("192.168.0.20"), ipv4("169.254.3.4")))
write(T, "arp_probe", helper_request(4, b"eth0", ipv4("169.254.7.9")))
write(T, "arp_with_sender", helper_request(4, b"eth0", ipv4("192.168.0.20"), ipv4("192.168.0.10")))
write(T, "raw_ping", helper_request(5, b"", ipv4("192.168.0.20")))
write(T, "forget_neighbour", helper_request(6, b"wlan0", ipv4("169.254.0.1")))
write(T, "discovery_socket", helper_request(7, port=4000))
write(T, "route_other_prefix", helper_request(1, b"eth0", ipv4("10.0.0.0"), prefix=8))
write(T, "restore_count_17", helper_request(3, b"eth0", entries=[(ipv4("10.0.0.1"), 24)], count=17))
write(T, "name_unterminated", helper_request(1, b"x" * 16, LINK_LOCAL, prefix=16))
write(T, "short", b"FWH1\x01")

# The helper's service over a sequence: a byte of the system's state, then requests.
T = "HelperServiceFuzz"
ADD0 = helper_request(1, b"eth0", LINK_LOCAL, prefix=16)
UNDO0 = helper_request(2, b"eth0", LINK_LOCAL, prefix=16)
write(T, "add_undo_add", bytes([0]) + ADD0 + UNDO0 + UNDO0 + ADD0)
write(T, "system_route_then_undo", bytes([1]) + ADD0 + UNDO0)
write(T, "reclaim_leftover", bytes([2]) + helper_request(8, b"eth1", LINK_LOCAL, prefix=16))
write(T, "reclaim_busy_card", bytes([2 | 16]) + helper_request(8, b"eth1", LINK_LOCAL, prefix=16))
write(T, "second_card", bytes([2 | 8]) + ADD0 + helper_request(8, b"eth1", LINK_LOCAL, prefix=16)
      + helper_request(6, b"eth1", ipv4("169.254.1.1")))
write(T, "pinned_neighbour", bytes([4]) + helper_request(6, b"eth0", ipv4("169.254.1.1")))
write(T, "two_sockets", bytes([0]) + helper_request(7, port=4000) + helper_request(7, port=4000))
write(T, "arp_sender", bytes([0]) + helper_request(4, b"eth0", ipv4("192.168.0.20"), ipv4("169.254.3.4")))
write(T, "loopback_then_card", bytes([0]) + helper_request(1, b"lo", LINK_LOCAL, prefix=16) + ADD0)
