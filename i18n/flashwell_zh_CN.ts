<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Column</name>
    <message>
        <source>Idx</source>
        <translation>索引</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>设备名称</translation>
    </message>
    <message>
        <source>IP</source>
        <translation>设备IP</translation>
    </message>
    <message>
        <source>MAC</source>
        <translation>网卡MAC地址</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>更新状态</translation>
    </message>
</context>
<context>
    <name>Console</name>
    <message>
        <source>[failed]</source>
        <translation>[失败]</translation>
    </message>
    <message>
        <source>[still away at %1]</source>
        <translation>[仍在 %1，未回原地址]</translation>
    </message>
    <message>
        <source>no adapter</source>
        <translation>无网卡</translation>
    </message>
    <message>
        <source>1 camera on %1</source>
        <translation>%1 上有 1 台设备</translation>
    </message>
    <message>
        <source>%1 cameras on %2</source>
        <translation>%2 上有 %1 台设备</translation>
    </message>
    <message>
        <source>... and %1 more done</source>
        <translation>……另有 %1 台已完成</translation>
    </message>
    <message>
        <source>... and %1 more</source>
        <translation>……另有 %1 台</translation>
    </message>
    <message>
        <source>... and %1 more, %2 done</source>
        <translation>……另有 %1 台，其中 %2 台已完成</translation>
    </message>
    <message>
        <source>stopped by signal %1</source>
        <translation>已被信号 %1 停止</translation>
    </message>
    <message>
        <source>sending home the cameras an earlier job left at link-local addresses</source>
        <translation>正在将之前作业留在链路本地地址的设备送回原地址</translation>
    </message>
</context>
<context>
    <name>Note</name>
    <message>
        <source>The addresses of %1 changed during the job (from %2 to %3), not by Flashwell; they were left as they are</source>
        <translation>作业期间 %1 的地址已被更改（从 %2 改为 %3），并非 Flashwell 所为；已保持原样</translation>
    </message>
    <message>
        <source>1 camera is still away from home; the next start sends it home again</source>
        <translation>1 台设备仍未回到原地址；下次启动时会再次将其送回</translation>
    </message>
    <message>
        <source>%1 cameras are still away from home; the next start sends them home again</source>
        <translation>%1 台设备仍未回到原地址；下次启动时会再次将其送回</translation>
    </message>
    <message>
        <source>sent %1 from %2 back to %3, where an earlier job had to leave it</source>
        <translation>已将 %1从 %2 送回 %3，之前的作业未能将其送回</translation>
    </message>
    <message>
        <source>%1 is still away at %2: it was not seen back at %3, and the next start sends it home again</source>
        <translation>%1 仍在 %2：未在 %3 看到它回来，下次启动时会再次将其送回</translation>
    </message>
    <message>
        <source>%1 is still away at %2: a search on %3 did not show it (not on this card&apos;s segment, or silent); nothing was sent to it, and a later start sends it home to %4</source>
        <translation>%1 仍在 %2：在 %3 上搜索未发现它（不在此网卡的网段，或没有应答）；未向其发送任何内容，之后的启动会将其送回 %4</translation>
    </message>
    <message>
        <source>%1 of %2 cameras an earlier job had left at link-local addresses are back at their own addresses</source>
        <translation>之前的作业留在链路本地地址的 %2 台设备中，已有 %1 台回到原地址</translation>
    </message>
    <message>
        <source>%1; %2 still away (the next start sends them home again)</source>
        <translation>%1；%2 台仍未回到原地址（下次启动时会再次将其送回）</translation>
    </message>
    <message>
        <source>At start-up: %1.</source>
        <translation>启动时：%1。</translation>
    </message>
    <message>
        <source>Cannot read the firmware file %1</source>
        <translation>无法读取固件文件 %1</translation>
    </message>
    <message>
        <source>The firmware file %1 is too short to hold an image header (%2 bytes): nothing was sent.</source>
        <translation>固件文件 %1 太短，不足以容纳固件头（%2 字节），未发送任何内容。</translation>
    </message>
    <message>
        <source>%1 of %2 done, %3 failed, %4</source>
        <translation>已完成 %1/%2，失败 %3，%4</translation>
    </message>
    <message>
        <source>%1 of %2 done, %3 failed</source>
        <translation>已完成 %1/%2，失败 %3</translation>
    </message>
    <message>
        <source>about %1 s left</source>
        <translation>约剩 %1 秒</translation>
    </message>
    <message>
        <source>about %1 min left</source>
        <translation>约剩 %1 分钟</translation>
    </message>
    <message>
        <source>the link-local route on %1 could not be removed; the next start removes it</source>
        <translation>无法删除 %1 上的链路本地路由；下次启动时会将其删除</translation>
    </message>
    <message>
        <source>Cameras were not moved: %1</source>
        <translation>设备未被移动：%1</translation>
    </message>
    <message>
        <source>no camera is selected</source>
        <translation>没有选定设备</translation>
    </message>
    <message>
        <source>Nothing was sent: %1.</source>
        <translation>未发送任何内容：%1。</translation>
    </message>
    <message>
        <source>Auto Change IP</source>
        <translation>自动更新IP地址</translation>
    </message>
    <message>
        <source>the range %1~%2 must be host numbers from 1 to 254, its start not after its end</source>
        <translation>范围 %1~%2 必须是 1 到 254 之间的主机号，且起始值不大于结束值</translation>
    </message>
    <message>
        <source>the range %1~%2 can hand out no address: its end is never handed out</source>
        <translation>范围 %1~%2 无地址可分配：结束值本身从不分配</translation>
    </message>
    <message>
        <source>This job is not recorded: %1</source>
        <translation>本次作业未被记录：%1</translation>
    </message>
    <message>
        <source>Sending 1 camera home that an earlier job left at link-local addresses...</source>
        <translation>正在将之前作业留在链路本地地址的 1 台设备送回原地址...</translation>
    </message>
    <message>
        <source>Sending %1 cameras home that an earlier job left at link-local addresses...</source>
        <translation>正在将之前作业留在链路本地地址的 %1 台设备送回原地址...</translation>
    </message>
    <message>
        <source>1 camera is not seen back at its own address yet: %1; the next start of Flashwell sends it home</source>
        <translation>尚未看到 1 台设备回到原地址：%1；下次启动 Flashwell 时会将其送回</translation>
    </message>
    <message>
        <source>%1 cameras are not seen back at their own addresses yet: %2; the next start of Flashwell sends them home</source>
        <translation>尚未看到 %1 台设备回到原地址：%2；下次启动 Flashwell 时会将其送回</translation>
    </message>
    <message>
        <source>The first wave failed, so the rest were not flashed: %1</source>
        <translation>首批设备升级失败，其余设备未刷新固件：%1</translation>
    </message>
    <message>
        <source>Auto Change IP: the range %1~%2 had no free address left for 1 camera at 192.168.0.20 (its end is never handed out)</source>
        <translation>自动更新IP地址：范围 %1~%2 已无空闲地址，还有 1 台192.168.0.20的设备未更新（范围的最后一个地址不会分配）</translation>
    </message>
    <message>
        <source>Auto Change IP: the range %1~%2 had no free address left for %3 cameras at 192.168.0.20 (its end is never handed out)</source>
        <translation>自动更新IP地址：范围 %1~%2 已无空闲地址，还有 %3 台192.168.0.20的设备未更新（范围的最后一个地址不会分配）</translation>
    </message>
    <message>
        <source>%1.</source>
        <translation>%1。</translation>
    </message>
    <message>
        <source>%1. %2</source>
        <translation>%1。%2</translation>
    </message>
    <message>
        <source>%1 (%2) ended &quot;%3&quot;</source>
        <translation>%1（%2）结束：“%3”</translation>
    </message>
    <message>
        <source>%1, %2</source>
        <translation>%1，%2</translation>
    </message>
    <message>
        <source>Nothing was done: %1.</source>
        <translation>未做任何操作：%1。</translation>
    </message>
    <message>
        <source>no thread could be started for the workflow</source>
        <translation>无法启动作业线程</translation>
    </message>
    <message>
        <source>the helper %1 is missing; reinstall flashwell, or run as root</source>
        <translation>缺少辅助程序 %1；请重新安装 flashwell，或以 root 运行</translation>
    </message>
    <message>
        <source>the helper %1 lacks its capabilities; an administrator gives them with dpkg-reconfigure flashwell, or run as root</source>
        <translation>辅助程序 %1 缺少所需权能；管理员可用 dpkg-reconfigure flashwell 授予，或以 root 运行</translation>
    </message>
    <message>
        <source>the helper %1 lacks its capabilities; setcap cap_net_admin,cap_net_raw+p on it gives them, or run as root</source>
        <translation>辅助程序 %1 缺少所需权能；对其执行 setcap cap_net_admin,cap_net_raw+p 即可授予，或以 root 运行</translation>
    </message>
    <message>
        <source>join group flashwell, or run as root</source>
        <translation>请加入 flashwell 组，或以 root 运行</translation>
    </message>
    <message>
        <source>No CAP_NET_ADMIN or CAP_NET_RAW: cameras that need a link-local detour are reached only where this computer already routes 169.254.0.0/16 (%1)</source>
        <translation>缺少 CAP_NET_ADMIN 和 CAP_NET_RAW：只有本机已有 169.254.0.0/16 路由时才能经链路本地地址访问设备（%1）</translation>
    </message>
    <message>
        <source>No CAP_NET_ADMIN: cameras that need a link-local detour are reached only where this computer already routes 169.254.0.0/16 (%1)</source>
        <translation>缺少 CAP_NET_ADMIN：只有本机已有 169.254.0.0/16 路由时才能经链路本地地址访问设备（%1）</translation>
    </message>
    <message>
        <source>No CAP_NET_RAW: free link-local addresses are found through the neighbour table instead of ARP, and pings work only where net.ipv4.ping_group_range allows them (%1)</source>
        <translation>缺少 CAP_NET_RAW：空闲的链路本地地址改由邻居表而非 ARP 查找，且只有 net.ipv4.ping_group_range 允许时才能 ping（%1）</translation>
    </message>
    <message>
        <source>the link-local route an earlier run added on %1 is still there (a job runs on that card now); the next start removes it</source>
        <translation>之前运行时在 %1 上添加的链路本地路由仍在（该网卡上正有作业运行）；下次启动时会将其删除</translation>
    </message>
    <message>
        <source>the link-local route an earlier run added on %1 is still there; the next start removes it</source>
        <translation>之前运行时在 %1 上添加的链路本地路由仍在；下次启动时会将其删除</translation>
    </message>
    <message>
        <source>removed the link-local route an earlier run had added on %1</source>
        <translation>已删除之前运行时在 %1 上添加的链路本地路由</translation>
    </message>
    <message>
        <source>sent %1 (%2) back to %3 over %4; it counts as home once Flashwell sees it there on that card</source>
        <translation>已经由 %4 将 %1（%2）送回 %3；Flashwell 在该网卡上看到它后才算回到原地址</translation>
    </message>
    <message>
        <source>At start-up: %1</source>
        <translation>启动时：%1</translation>
    </message>
    <message>
        <source>%1; %2</source>
        <translation>%1；%2</translation>
    </message>
    <message>
        <source>please check network status...</source>
        <translation>请检查网络状态...</translation>
    </message>
    <message>
        <source>information</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>Create Rx Thread error!</source>
        <translation>创建接收线程失败！</translation>
    </message>
    <message>
        <source>MSG</source>
        <translation>消息</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1（%2）</translation>
    </message>
    <message>
        <source>%1 (%2) at %3</source>
        <translation>%1（%2）在 %3</translation>
    </message>
    <message>
        <source>No keyring answered (%1); the camera password is kept in %2, readable only by you</source>
        <translation>没有密钥环应答（%1）；相机密码保存在 %2 中，仅您本人可读</translation>
    </message>
    <message>
        <source>The login was not stored: %1 cannot be written</source>
        <translation>登录信息未保存：无法写入 %1</translation>
    </message>
    <message>
        <source>The stored login cannot be read from %1</source>
        <translation>无法从 %1 读取已保存的登录信息</translation>
    </message>
    <message>
        <source>The camera password kept in %1 is now in the keyring</source>
        <translation>原保存在 %1 中的相机密码现已移入密钥环</translation>
    </message>
    <message>
        <source>No keyring answered (%1); the stored camera password cannot be read</source>
        <translation>没有密钥环应答（%1）；无法读取已保存的相机密码</translation>
    </message>
    <message>
        <source>The keyring holds no camera password for the stored login</source>
        <translation>密钥环中没有已保存登录的相机密码</translation>
    </message>
    <message>
        <source>The login stored in %1 was copied to %2, but the password could not be removed from that file</source>
        <translation>%1 中保存的登录信息已复制到 %2，但未能从该文件中删除密码</translation>
    </message>
    <message>
        <source>The login stored in %1 was moved: the user name to %2, the password to the keyring</source>
        <translation>%1 中保存的登录信息已迁移：用户名移至 %2，密码移至密钥环</translation>
    </message>
    <message>
        <source>The login stored in %1 was moved to %2</source>
        <translation>%1 中保存的登录信息已迁移至 %2</translation>
    </message>
</context>
<context>
    <name>Status</name>
    <message>
        <source>File Uploading...</source>
        <translation>正在上传文件...</translation>
    </message>
    <message>
        <source>File uploaded successfully</source>
        <translation>文件上传成功</translation>
    </message>
    <message>
        <source>Upload not answered, waiting out its burn: %1 Seconds</source>
        <translation>上传未获应答，等待烧写完成：%1 秒</translation>
    </message>
    <message>
        <source>Upgrade Status... %1%</source>
        <translation>升级中... %1%</translation>
    </message>
    <message>
        <source>Wait for %1 Seconds</source>
        <translation>请等待 %1 秒</translation>
    </message>
    <message>
        <source>System rebooting, please wait for %1 Seconds</source>
        <translation>系统重启中，请等待 %1 秒</translation>
    </message>
    <message>
        <source>No answer since the reboot, asking again: %1 Seconds left</source>
        <translation>重启后无应答，正在重试：还剩 %1 秒</translation>
    </message>
    <message>
        <source>Waiting for its turn to upload</source>
        <translation>等待轮到上传</translation>
    </message>
    <message>
        <source>Waiting for the first wave</source>
        <translation>等待首批设备完成</translation>
    </message>
    <message>
        <source>UPGRADE SUCCESSFUL</source>
        <translation>固件更新完成</translation>
    </message>
    <message>
        <source>Failed to upgrade!</source>
        <translation>更新失败，请重新更新!</translation>
    </message>
    <message>
        <source>Device offline!</source>
        <translation>设备不在线!</translation>
    </message>
    <message>
        <source>Device offline</source>
        <translation>设备离线</translation>
    </message>
    <message>
        <source>Can not connect</source>
        <translation>无法连接</translation>
    </message>
    <message>
        <source>Wi-Fi interface</source>
        <translation>此为无线接口</translation>
    </message>
    <message>
        <source>401 Unauthorized</source>
        <translation>401 未授权</translation>
    </message>
    <message>
        <source>No answer after the reboot</source>
        <translation>重启后无应答</translation>
    </message>
    <message>
        <source>Would flash %1 again (already runs it)</source>
        <translation>将再次刷新 %1（已在运行此版本）</translation>
    </message>
    <message>
        <source>Would flash %1 -&gt; %2, older than the camera&apos;s</source>
        <translation>将刷新 %1 -&gt; %2，比设备当前版本旧</translation>
    </message>
    <message>
        <source>Would flash %1 -&gt; %2</source>
        <translation>将刷新 %1 -&gt; %2</translation>
    </message>
    <message>
        <source>Already at %1</source>
        <translation>已是 %1</translation>
    </message>
    <message>
        <source>Not flashed: the first wave failed</source>
        <translation>未刷新：首批设备升级失败</translation>
    </message>
    <message>
        <source>Model mismatch</source>
        <translation>型号不符</translation>
    </message>
    <message>
        <source>Shares %1, no answer on its own</source>
        <translation>与其他设备共用 %1，自身无应答</translation>
    </message>
    <message>
        <source>No free link-local address</source>
        <translation>没有空闲的链路本地地址</translation>
    </message>
    <message>
        <source>Cannot probe link-local addresses</source>
        <translation>无法探测链路本地地址</translation>
    </message>
    <message>
        <source>Not moved: its way home cannot be written</source>
        <translation>未移动：无法记录其回家路径</translation>
    </message>
    <message>
        <source>Not seen at a link-local address</source>
        <translation>未在链路本地地址看到设备</translation>
    </message>
    <message>
        <source>Reset not accepted: %1</source>
        <translation>未接受还原：%1</translation>
    </message>
    <message>
        <source>Not seen at its new address</source>
        <translation>未在新地址看到设备</translation>
    </message>
    <message>
        <source>Back at its own address</source>
        <translation>已回到原地址</translation>
    </message>
    <message>
        <source>Still away at a link-local address</source>
        <translation>仍在链路本地地址</translation>
    </message>
    <message>
        <source>Still away at %1</source>
        <translation>仍在 %1</translation>
    </message>
    <message>
        <source>Interrupted after the upload</source>
        <translation>上传后被中断</translation>
    </message>
    <message>
        <source>Interrupted</source>
        <translation>已中断</translation>
    </message>
    <message>
        <source>Cannot start a worker thread</source>
        <translation>无法启动工作线程</translation>
    </message>
    <message>
        <source>Seen at its new address</source>
        <translation>已在新地址看到设备</translation>
    </message>
    <message>
        <source>no free address left in the range</source>
        <translation>范围内已无空闲地址</translation>
    </message>
    <message>
        <source>Back at %1</source>
        <translation>已回到 %1</translation>
    </message>
    <message>
        <source>Reset accepted</source>
        <translation>已接受还原</translation>
    </message>
</context>
<context>
    <name>Window</name>
    <message>
        <source>waiting for their turn</source>
        <translation>等待轮到</translation>
    </message>
    <message>
        <source>being asked for their version</source>
        <translation>正在查询版本</translation>
    </message>
    <message>
        <source>being moved to a link-local address</source>
        <translation>正在移至链路本地地址</translation>
    </message>
    <message>
        <source>uploading</source>
        <translation>正在上传</translation>
    </message>
    <message>
        <source>burning the image</source>
        <translation>正在烧写固件</translation>
    </message>
    <message>
        <source>rebooting</source>
        <translation>正在重启</translation>
    </message>
    <message>
        <source>being reset</source>
        <translation>正在还原</translation>
    </message>
    <message>
        <source>being given an address</source>
        <translation>正在分配地址</translation>
    </message>
    <message>
        <source>on their way home</source>
        <translation>正在返回原地址</translation>
    </message>
    <message>
        <source>working</source>
        <translation>正在工作</translation>
    </message>
    <message>
        <source>Device Flashwell 2.0</source>
        <translation>Flashwell V 2.0</translation>
    </message>
    <message>
        <source>Camera lists:</source>
        <translation>设备列表</translation>
    </message>
    <message>
        <source>Browse File...</source>
        <translation>文件浏览</translation>
    </message>
    <message>
        <source>Network Card </source>
        <translation>网卡 </translation>
    </message>
    <message>
        <source>Device Model</source>
        <translation>设备类型</translation>
    </message>
    <message>
        <source>Firmware Version</source>
        <translation>固件版本</translation>
    </message>
    <message>
        <source>ID</source>
        <translation>登录名</translation>
    </message>
    <message>
        <source>Pwd</source>
        <translation>密码</translation>
    </message>
    <message>
        <source>***** Function Description *****
&quot;Auto Change IP&quot; : Auto change IP address of selected devices which using &apos;192.168.0.20&apos; with predefined IP range (nothing done if no one selected)
&quot;Starting Upgrade&quot; : Auto upgrade firmware to selected devices (nothing done if no one selected)</source>
        <translation>***** 功能提示 *****
@ 点击&quot;自动更新IP地址&quot; 可自动为选定的192.168.0.20设备更新IP地址
  (可自定义IP地址范围；若无选择，则不做任何操作)
@ 点击&quot;开始刷新固件&quot; 可自动为选定的设备刷新固件
  (若无选择，则不做任何操作)</translation>
    </message>
    <message>
        <source>Auto Change IP</source>
        <translation>自动更新IP地址</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>搜索</translation>
    </message>
    <message>
        <source>Reset Default</source>
        <translation>还原默认值</translation>
    </message>
    <message>
        <source>Check Version</source>
        <translation>查询固件版本</translation>
    </message>
    <message>
        <source>Starting Upgrade</source>
        <translation>开始刷新固件</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>退出</translation>
    </message>
    <message>
        <source>Login, account presets, model guard, fleet choices, export, job records, cameras away from home, About</source>
        <translation>登录、账户预设、型号检查、批量选项、导出、作业记录、未回原地址的设备、关于</translation>
    </message>
    <message>
        <source>Set Login...</source>
        <translation>设置登录...</translation>
    </message>
    <message>
        <source>Account</source>
        <translation>账户</translation>
    </message>
    <message>
        <source>Allow other models</source>
        <translation>允许其他型号</translation>
    </message>
    <message>
        <source>Cameras at once...</source>
        <translation>同时处理的设备数...</translation>
    </message>
    <message>
        <source>Cameras uploading at once, and asked at once by &quot;Check Version&quot; (0: uploads all at once, versions one after another):</source>
        <translation>同时上传固件的设备数，也是“检查版本”同时询问的设备数（0：全部同时上传，逐台检查版本）：</translation>
    </message>
    <message>
        <source>Skip cameras already at this version</source>
        <translation>跳过已是此版本的设备</translation>
    </message>
    <message>
        <source>First wave...</source>
        <translation>首批设备...</translation>
    </message>
    <message>
        <source>Cameras in the first wave, in list order: the rest get the image only when all of them upgraded (0: no first wave):</source>
        <translation>首批设备数（按列表顺序）：只有首批全部升级成功后，其余设备才会收到固件（0：不分批）：</translation>
    </message>
    <message>
        <source>Export list...</source>
        <translation>导出列表...</translation>
    </message>
    <message>
        <source>Job records</source>
        <translation>作业记录</translation>
    </message>
    <message>
        <source>About Flashwell...</source>
        <translation>关于 Flashwell...</translation>
    </message>
    <message>
        <source>Cameras away from home...</source>
        <translation>未回原地址的设备...</translation>
    </message>
    <message>
        <source>Cameras away from home</source>
        <translation>未回原地址的设备</translation>
    </message>
    <message>
        <source>No camera is away from home.</source>
        <translation>没有设备停留在原地址之外。</translation>
    </message>
    <message>
        <source>Away from home after an earlier job: %1. Each start of Flashwell sends them home where a search shows them. Forget only a camera that has left this bench: its way home is then lost.</source>
        <translation>之前的作业后未回原地址的设备：%1 台。每次启动 Flashwell 时，搜索到的设备都会被送回原地址。只有已离开此工作台的设备才应忘记：忘记后其回家的路径将丢失。</translation>
    </message>
    <message>
        <source>%1 (%2) at %3, home %4 on %5, since %6</source>
        <translation>%1（%2）在 %3，原地址 %4（%5），自 %6</translation>
    </message>
    <message>
        <source>(not known)</source>
        <translation>（未知）</translation>
    </message>
    <message>
        <source>Forget the chosen ones</source>
        <translation>忘记所选设备</translation>
    </message>
    <message>
        <source>Nothing was forgotten: %1</source>
        <translation>未忘记任何设备：%1</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>是</translation>
    </message>
    <message>
        <source>No</source>
        <translation>否</translation>
    </message>
    <message>
        <source>About Flashwell v2.0</source>
        <translation>关于 Flashwell v2.0</translation>
    </message>
    <message>
        <source>Flashwell v2.0</source>
        <translation>Flashwell v2.0</translation>
    </message>
    <message>
        <source>Release %1 of this program</source>
        <translation>本程序的版本为 %1</translation>
    </message>
    <message>
        <source>(v2.0 is the version of the original tool)</source>
        <translation>（v2.0 是原版工具的版本号）</translation>
    </message>
    <message>
        <source>Export list</source>
        <translation>导出列表</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV 文件 (*.csv)</translation>
    </message>
    <message>
        <source>List exported to %1</source>
        <translation>列表已导出到 %1</translation>
    </message>
    <message>
        <source>Cannot write %1</source>
        <translation>无法写入 %1</translation>
    </message>
    <message>
        <source>Job records are in %1</source>
        <translation>作业记录位于 %1</translation>
    </message>
    <message>
        <source>No file manager could open the folder of job records: %1</source>
        <translation>没有文件管理器能打开作业记录文件夹：%1</translation>
    </message>
    <message>
        <source>No folder for job records: HOME is not set</source>
        <translation>没有作业记录文件夹：未设置 HOME</translation>
    </message>
    <message>
        <source>Cannot create %1</source>
        <translation>无法创建 %1</translation>
    </message>
    <message>
        <source>Allow other models is on: upgrades flash cameras of every model</source>
        <translation>“允许其他型号”已开启：升级时不检查设备型号</translation>
    </message>
    <message>
        <source>; </source>
        <translation>；</translation>
    </message>
    <message>
        <source>%1 cameras at once</source>
        <translation>同时处理 %1 台设备</translation>
    </message>
    <message>
        <source>cameras already at this version are skipped</source>
        <translation>跳过已是此版本的设备</translation>
    </message>
    <message>
        <source>a first wave of %1</source>
        <translation>首批 %1 台设备</translation>
    </message>
    <message>
        <source>No web browser could be started: open %1 yourself</source>
        <translation>无法启动网页浏览器：请手动打开 %1</translation>
    </message>
    <message>
        <source>camera %1, image %2</source>
        <translation>设备型号 %1，固件型号 %2</translation>
    </message>
    <message>
        <source>Still away from home at %1: the next start of Flashwell sends it home</source>
        <translation>仍在链路本地地址 %1，尚未回到原地址：下次启动 Flashwell 时会将其送回</translation>
    </message>
    <message>
        <source>Reset %1 camera to factory defaults? Its address, password and settings are lost.</source>
        <translation>将 %1 台设备还原为出厂默认值？其IP地址、密码和设置将全部丢失。</translation>
    </message>
    <message>
        <source>Reset %1 cameras to factory defaults? Their addresses, passwords and settings are lost.</source>
        <translation>将 %1 台设备还原为出厂默认值？其IP地址、密码和设置将全部丢失。</translation>
    </message>
    <message>
        <source>Give %1 camera at 192.168.0.20 an address of its own from the range %2~%3?</source>
        <translation>为 %1 台IP地址为192.168.0.20的设备分配范围 %2~%3 内的新IP地址？</translation>
    </message>
    <message>
        <source>Give %1 cameras at 192.168.0.20 addresses of their own from the range %2~%3?</source>
        <translation>为 %1 台IP地址为192.168.0.20的设备分配范围 %2~%3 内的新IP地址？</translation>
    </message>
    <message>
        <source>and %1 more</source>
        <translation>另有 %1 台</translation>
    </message>
    <message>
        <source>Model</source>
        <translation>型号</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>版本</translation>
    </message>
    <message>
        <source>Auto Change IP hands out the host numbers from the first up to the last, in turn, skipping those a camera or a station holds; the last itself is never handed out</source>
        <translation>自动更新IP地址按顺序分配从起始到结束的主机号，跳过已被设备或其他主机占用的地址；结束值本身从不分配</translation>
    </message>
    <message>
        <source>%1  →  %2</source>
        <translation>%1  →  %2</translation>
    </message>
    <message>
        <source>no address left in the range</source>
        <translation>范围内已无空闲地址</translation>
    </message>
    <message>
        <source>About: an address that a station answers for on the network is skipped.</source>
        <translation>地址仅供参考：网络上已有主机应答的地址会被跳过。</translation>
    </message>
    <message>
        <source>Nothing was done: the reset was not confirmed.</source>
        <translation>未做任何操作：未确认还原默认值。</translation>
    </message>
    <message>
        <source>Nothing was done: the new addresses were not confirmed.</source>
        <translation>未做任何操作：未确认更新IP地址。</translation>
    </message>
    <message>
        <source>Nothing was done: none of the selected cameras is at 192.168.0.20.</source>
        <translation>未做任何操作：选定的设备中没有IP地址为192.168.0.20的设备。</translation>
    </message>
    <message>
        <source>A job is running</source>
        <translation>有作业正在运行</translation>
    </message>
    <message>
        <source>A job is running (cameras %1)</source>
        <translation>有作业正在运行（设备：%1）</translation>
    </message>
    <message>
        <source>%1 %2</source>
        <translation>%1 台%2</translation>
    </message>
    <message>
        <source>, </source>
        <translation>，</translation>
    </message>
    <message>
        <source>. Close anyway? Cameras that can hear it are sent back to their own addresses first; one that is burning or rebooting is kept in the journal and sent home at the next start.</source>
        <translation>。仍要关闭吗？能收到命令的设备会先被送回原地址；正在烧写或重启的设备会记入日志，并在下次启动时送回原地址。</translation>
    </message>
    <message>
        <source>Closing: sending the cameras home first...</source>
        <translation>正在关闭：先将设备送回原地址...</translation>
    </message>
    <message>
        <source>These cameras were not seen back at their own addresses before closing; their way home is kept in the journal and the next start of Flashwell sends them home:</source>
        <translation>以下设备在关闭前未回到原地址；其回家路径已记入日志，下次启动 Flashwell 时会将其送回：</translation>
    </message>
</context>
</TS>
