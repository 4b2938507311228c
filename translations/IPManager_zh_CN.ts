<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>IPManager</name>
    <message>
        <source>No rights to send and capture raw Ethernet frames; the message explains how to get them.</source>
        <translation>没有发送和捕获原始以太网帧的权限；提示框中说明了获取方法。</translation>
    </message>
    <message>
        <source>The search did not start: the adapter %1 could not be opened.</source>
        <translation>搜索未能开始：无法打开网卡 %1。</translation>
    </message>
    <message>
        <source>Searching and configuring devices send and capture raw Ethernet frames, which needs the CAP_NET_RAW capability or administrator rights.

The package grants the capability when it is installed. On a file system without capabilities give it once with

    sudo setcap cap_net_raw+ep %1

or start the program as administrator.</source>
        <translation>搜索和配置设备需要发送和捕获原始以太网帧，这需要 CAP_NET_RAW 能力或管理员权限。

软件包在安装时会授予该能力。在不支持能力的文件系统上，请执行一次

    sudo setcap cap_net_raw+ep %1

或以管理员身份启动程序。</translation>
    </message>
    <message>
        <source>Searching sends and captures raw Ethernet frames, which needs the CAP_NET_RAW capability or administrator rights. The package grants the capability when it is installed; on a file system without capabilities run &quot;sudo setcap cap_net_raw+ep %1&quot; or start the program as root.</source>
        <translation>搜索设备需要收发原始以太网帧，这需要 CAP_NET_RAW 能力或管理员权限。安装软件包时会授予该能力；在不支持文件能力的文件系统上，请运行 &quot;sudo setcap cap_net_raw+ep %1&quot;，或以 root 身份启动程序。</translation>
    </message>
</context>
<context>
    <name>IPManager</name>
    <message>
        <source>IP Manager</source>
        <translation>IP管理器</translation>
    </message>
    <message>
        <source>Device Info</source>
        <translation>设备信息</translation>
    </message>
    <message>
        <source>Network Adapter Information</source>
        <translation>网卡信息</translation>
    </message>
    <message>
        <source>Network Adapter</source>
        <translation>网卡</translation>
    </message>
    <message>
        <source>Search Device</source>
        <translation>搜索设备</translation>
    </message>
    <message>
        <source>Refresh card</source>
        <translation>刷新网卡</translation>
    </message>
    <message>
        <source>Network Address</source>
        <translation>网络地址</translation>
    </message>
    <message>
        <source>Configuration Parameter</source>
        <translation>配置参数</translation>
    </message>
    <message>
        <source>IP Address:</source>
        <translation>IP地址:</translation>
    </message>
    <message>
        <source>Device Name:</source>
        <translation>设备名称:</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>密码:</translation>
    </message>
    <message>
        <source>Subnet Mask:</source>
        <translation>子网掩码:</translation>
    </message>
    <message>
        <source>User Name:</source>
        <translation>用户名:</translation>
    </message>
    <message>
        <source>Gateway:</source>
        <translation>网关:</translation>
    </message>
    <message>
        <source>Temporary</source>
        <translation>临时</translation>
    </message>
    <message>
        <source>Do Config</source>
        <translation>配置</translation>
    </message>
    <message>
        <source>Device List</source>
        <translation>设备列表</translation>
    </message>
    <message>
        <source>Device Consolo</source>
        <translation>设备控制台</translation>
    </message>
    <message>
        <source>Searching</source>
        <translation>正在搜索</translation>
    </message>
    <message>
        <source>       </source>
        <translation>       </translation>
    </message>
    <message>
        <source>ID</source>
        <translation>序号</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>版本</translation>
    </message>
    <message>
        <source>MAC</source>
        <translation>MAC</translation>
    </message>
    <message>
        <source>Dev Name</source>
        <translation>设备名称</translation>
    </message>
    <message>
        <source>IP</source>
        <translation>IP</translation>
    </message>
    <message>
        <source>NetMask</source>
        <translation>子网掩码</translation>
    </message>
    <message>
        <source>Gateway</source>
        <translation>网关</translation>
    </message>
    <message>
        <source>SerialNum</source>
        <translation>序列号</translation>
    </message>
    <message>
        <source>UartNum</source>
        <translation>串口数</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>状态</translation>
    </message>
    <message>
        <source>Logon Web</source>
        <translation>登录网页</translation>
    </message>
    <message>
        <source>Indicator On</source>
        <translation>打开指示灯</translation>
    </message>
    <message>
        <source>Indicator Off</source>
        <translation>关闭指示灯</translation>
    </message>
    <message>
        <source>Open Consolo</source>
        <translation>打开控制台</translation>
    </message>
    <message>
        <source>tips</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>Please choose at least one device first!</source>
        <translation>请先选择至少一个设备！</translation>
    </message>
    <message>
        <source>IP Address</source>
        <translation>IP地址</translation>
    </message>
    <message>
        <source>Subnet Mask</source>
        <translation>子网掩码</translation>
    </message>
    <message>
        <source>%1 is not a valid address: &quot;%2&quot;</source>
        <translation>%1 不是有效的地址：“%2”</translation>
    </message>
    <message>
        <source>No network adapter information</source>
        <translation>没有网卡信息</translation>
    </message>
    <message>
        <source>openNetDeviceSetFilter failed</source>
        <translation>打开网卡并设置过滤器失败</translation>
    </message>
    <message>
        <source>Row %1: MAC address &quot;%2&quot; is not valid, nothing sent</source>
        <translation>第 %1 行：MAC 地址“%2”无效，未发送</translation>
    </message>
    <message>
        <source>Capture on %1 stopped: %2</source>
        <translation>网卡 %1 的抓包已停止：%2</translation>
    </message>
    <message>
        <source>Sending the configuration on %1 failed: %2</source>
        <translation>通过网卡 %1 发送配置失败：%2</translation>
    </message>
    <message>
        <source>%1 : %2</source>
        <translation>%1 : %2</translation>
    </message>
    <message>
        <source>success</source>
        <translation>成功</translation>
    </message>
    <message>
        <source>too often</source>
        <translation>过于频繁</translation>
    </message>
    <message>
        <source>validation failed</source>
        <translation>校验失败</translation>
    </message>
    <message>
        <source>ip conflicts</source>
        <translation>IP冲突</translation>
    </message>
    <message>
        <source>failed</source>
        <translation>失败</translation>
    </message>
</context>
<context>
    <name>MyQHeaderView</name>
    <message>
        <source>Sel All</source>
        <translation>全选</translation>
    </message>
</context>
<context>
    <name>CDeviceListManager</name>
    <message>
        <source>Open Consolo</source>
        <translation>打开控制台</translation>
    </message>
    <message>
        <source>Re Search</source>
        <translation>重新搜索</translation>
    </message>
    <message>
        <source>Right-click a device in the table and choose &quot;Open Consolo&quot;: its console is listed here; click it to show the console again</source>
        <translation>在表格中右键单击设备并选择“打开控制台”：它的控制台会列在这里；单击即可再次显示该控制台</translation>
    </message>
</context>
<context>
    <name>CIceDevConsolo</name>
    <message>
        <source>Login</source>
        <translation>登录</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>退出</translation>
    </message>
    <message>
        <source>tips</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>Cannot connect to %1: not an IPv4 address</source>
        <translation>无法连接 %1：不是 IPv4 地址</translation>
    </message>
    <message>
        <source>Cannot connect to %1: %2</source>
        <translation>无法连接 %1：%2</translation>
    </message>
    <message>
        <source>The host key of %1 has changed (it is now %2). Another device may be answering at this address, or someone may be listening in: not connected. If the device was replaced, remove its line from %3.</source>
        <translation>%1 的主机密钥已改变（现在是 %2）。可能是另一台设备在此地址应答，也可能有人在窃听：未连接。如果设备已更换，请从 %3 中删除它的那一行。</translation>
    </message>
    <message>
        <source>Cannot check the host key of %1: %2</source>
        <translation>无法检查 %1 的主机密钥：%2</translation>
    </message>
    <message>
        <source>Login to %1 as %2 failed: %3</source>
        <translation>以 %2 身份登录 %1 失败：%3</translation>
    </message>
    <message>
        <source>The device %1 is not known yet. Its host key has the SHA-256 fingerprint
%2
Accept this key and log in? It is remembered for the next logins.</source>
        <translation>设备 %1 尚未被信任。它的主机密钥的 SHA-256 指纹为
%2
接受此密钥并登录吗？以后登录时会记住它。</translation>
    </message>
    <message>
        <source>The host key of %1 was not accepted: not connected.</source>
        <translation>未接受 %1 的主机密钥：未连接。</translation>
    </message>
    <message>
        <source>The host key cannot be remembered: %1</source>
        <translation>无法记住主机密钥：%1</translation>
    </message>
    <message>
        <source>The host key cannot be remembered in %1: %2</source>
        <translation>无法在 %1 中记住主机密钥：%2</translation>
    </message>
    <message>
        <source>The command failed: %1</source>
        <translation>命令执行失败：%1</translation>
    </message>
    <message>
        <source>[exit status %1]</source>
        <translation>[退出状态 %1]</translation>
    </message>
    <message>
        <source>The connection to %1 was lost.</source>
        <translation>与 %1 的连接已断开。</translation>
    </message>
</context>
<context>
    <name>DevConsolo</name>
    <message>
        <source>TabWidget</source>
        <translation>TabWidget</translation>
    </message>
    <message>
        <source>NetCommand</source>
        <translation>网络命令</translation>
    </message>
    <message>
        <source>UserName:</source>
        <translation>用户名:</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>密码:</translation>
    </message>
    <message>
        <source>Login</source>
        <translation>登录</translation>
    </message>
    <message>
        <source>CmdType :</source>
        <translation>命令类型:</translation>
    </message>
    <message>
        <source>Param:</source>
        <translation>参数:</translation>
    </message>
    <message>
        <source>Execute</source>
        <translation>执行</translation>
    </message>
    <message>
        <source>Clear Text</source>
        <translation>清空文本</translation>
    </message>
</context>
<context>
    <name>SshSession</name>
    <message>
        <source>no SSH session</source>
        <translation>没有 SSH 会话</translation>
    </message>
    <message>
        <source>cancelled</source>
        <translation>已取消</translation>
    </message>
    <message>
        <source>no answer from %1:%2</source>
        <translation>%1:%2 没有应答</translation>
    </message>
    <message>
        <source>no answer to the login</source>
        <translation>登录没有应答</translation>
    </message>
    <message>
        <source>user name or password not accepted</source>
        <translation>用户名或密码不正确</translation>
    </message>
</context>
</TS>
