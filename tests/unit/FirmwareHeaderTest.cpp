// Model and version of a firmware image, read from the first 100 bytes of the file.
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/FirmwareHeader.h"
#include "tests/support/TestSupport.h"

namespace {

std::vector<unsigned char> image(const std::string& version, const std::string& model, std::size_t length = 100) {
    std::vector<unsigned char> bytes(std::max<std::size_t>(length, 100), 0);
    std::copy(version.begin(), version.end(), bytes.begin() + 24);
    std::copy(model.begin(), model.end(), bytes.begin() + 68);
    bytes.resize(length);
    return bytes;
}

// The header as the window shows it, "model version", or "none".
std::string shown(const std::optional<FirmwareHeader>& h) {
    return h ? h->model + " " + h->version : "none";
}

} // namespace

TEST(FirmwareHeaderTest, VersionAndModelTexts) {
    const std::pair<std::string, std::string> versions[] = {
        {"123", "V1.23"},
        {"105", "V1.05"},
        {"", "V"},
        {"1", "V1."},
        {"1234567", "V1.23"},
        {"12", "V1.2"},
        {std::string{'1', '\0', '3'}, "V1."}, // a NUL ends the digits
    };
    for (const auto& [field, version] : versions) {
        auto bytes = image(field, "IPC-100");
        EXPECT_EQ(shown(ParseFirmwareHeader(bytes.data(), bytes.size())), "IPC-100 " + version)
            << "version field \"" << field << "\"";
    }
    auto full = image(std::string(32, '9'), "ABCDEFGHIJKLXYZ");
    EXPECT_EQ(shown(ParseFirmwareHeader(full.data(), full.size())), "ABCDEFGHIJKL V9.99")
        << "a 12-char model without NUL ends before byte 80";
}

TEST(FirmwareHeaderTest, ReadsFilesOfAnyLength) {
    testsupport::ScratchDir dir;
    ASSERT_FALSE(dir.path().empty()) << "no scratch directory";
    auto read = [&](const std::string& name, const std::vector<unsigned char>& b) {
        std::ofstream(dir.path() + "/" + name, std::ios::binary)
            .write(reinterpret_cast<const char*>(b.data()), std::ssize(b));
        return shown(ReadFirmwareHeader(dir.path() + "/" + name));
    };
    EXPECT_EQ(read("full.bin", image("210", "CAM-X", 4096)), "CAM-X V2.10");
    EXPECT_EQ(read("cut.bin", image("3", "CAM-Y", 70)), "CA V3.") << "a short file reads as zero-padded";
    EXPECT_EQ(read("tiny.bin", std::vector<unsigned char>(24, '7')), " V");
    EXPECT_EQ(read("empty.bin", {}), " V");
    EXPECT_EQ(shown(ReadFirmwareHeader(dir.path())), "none") << "a folder is no firmware";
    EXPECT_EQ(shown(ReadFirmwareHeader(dir.path() + "/missing.bin")), "none");
    EXPECT_EQ(shown(ReadFirmwareHeader("")), "none");
}

// The model guard's comparison: exact, except where the image's field is full and the name may
// have been cut at its 12 characters.
TEST(FirmwareHeaderTest, SameModelAllowsOnlyForAFullField) {
    EXPECT_TRUE(SameModel("IPC1234", "IPC1234"));
    EXPECT_FALSE(SameModel("IPC12345", "IPC1234")) << "a longer name is another model";
    EXPECT_FALSE(SameModel("IPC123", "IPC1234"));
    EXPECT_TRUE(SameModel("IPC1234-PRO-X2", "IPC1234-PRO-")) << "cut by the 12-character field";
    EXPECT_FALSE(SameModel("IPC1234-PRX-X2", "IPC1234-PRO-"));
    EXPECT_FALSE(SameModel("IPC1234-PRO", "IPC1234-PRO-"));
}
