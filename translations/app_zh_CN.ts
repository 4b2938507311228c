<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>vxaWindow</name>
    <message>
        <source>Cannot save the language in %1.</source>
        <translation>无法将语言设置保存到 %1。</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>Toolbox for commissioning serial-to-Ethernet device servers: serial and network debugging assistant, IP manager, message debugging and virtual serial ports.</source>
        <translation>串口转以太网设备服务器调试工具箱：串口与网络调试助手、IP 管理、报文调试和虚拟串口。</translation>
    </message>
    <message>
        <source>Print the debug lines of every tool on standard error.</source>
        <translation>在标准错误输出上打印各工具的调试信息。</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>vxa: refusing to run set-user-ID or set-group-ID; start it as yourself (use pkexec for administrator rights).</source>
        <translation>vxa：拒绝以 set-user-ID 或 set-group-ID 方式运行；请以您自己的身份启动（需要管理员权限时请使用 pkexec）。</translation>
    </message>
</context>
<context>
    <name>appdir</name>
    <message>
        <source>Cannot create the folder %1.</source>
        <translation>无法创建文件夹 %1。</translation>
    </message>
</context>
<context>
    <name>rights</name>
    <message>
        <source>The restart could not be prepared: %1</source>
        <translation>无法准备重新启动：%1</translation>
    </message>
    <message>
        <source>pkexec could not be started: %1</source>
        <translation>无法启动 pkexec：%1</translation>
    </message>
    <message>
        <source>The restart was cancelled: the administrator password was not given.</source>
        <translation>重新启动已取消：未输入管理员密码。</translation>
    </message>
    <message>
        <source>No authentication agent runs in this session, so pkexec cannot ask for the administrator password. Start the program as root instead (for example with sudo).</source>
        <translation>当前会话中没有运行身份验证代理，pkexec 无法询问管理员密码。请改为以 root 身份启动程序（例如使用 sudo）。</translation>
    </message>
    <message>
        <source>Administrator rights were refused: the system did not allow this user to restart the program as administrator.</source>
        <translation>管理员权限被拒绝：系统不允许此用户以管理员身份重新启动程序。</translation>
    </message>
    <message>
        <source>The program started as administrator ended before its window opened (exit status %1).</source>
        <translation>以管理员身份启动的程序在其窗口打开之前就已退出（退出状态 %1）。</translation>
    </message>
    <message>
        <source>The program keeps running as it is.</source>
        <translation>程序将保持当前状态继续运行。</translation>
    </message>
    <message>
        <source>The program pkexec was not found; install the package pkexec, or start the program as root.</source>
        <translation>未找到 pkexec 程序；请安装 pkexec 软件包，或以 root 身份启动程序。</translation>
    </message>
    <message>
        <source>pkexec could not be started.</source>
        <translation>无法启动 pkexec。</translation>
    </message>
</context>
<context>
    <name>vxaWindow</name>
    <message>
        <source>Zelto</source>
        <translation>Zelto</translation>
    </message>
    <message>
        <source>&amp;System</source>
        <translation>系统(&amp;S)</translation>
    </message>
    <message>
        <source>&amp;Windwos</source>
        <translation>窗口(&amp;W)</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>帮助(&amp;H)</translation>
    </message>
    <message>
        <source>ToolsView</source>
        <translation>工具视图</translation>
    </message>
    <message>
        <source>Page 1</source>
        <translation>第 1 页</translation>
    </message>
    <message>
        <source>IPManager</source>
        <translation>IP 管理</translation>
    </message>
    <message>
        <source>Uart-Net</source>
        <translation>串口-网络</translation>
    </message>
    <message>
        <source>Assist</source>
        <translation>助手</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>退出</translation>
    </message>
    <message>
        <source>Alt+E</source>
        <translation>Alt+E</translation>
    </message>
    <message>
        <source>Uart Setting</source>
        <translation>串口设置</translation>
    </message>
    <message>
        <source>Message Debug</source>
        <translation>报文调试</translation>
    </message>
    <message>
        <source>About</source>
        <translation>关于</translation>
    </message>
    <message>
        <source>Alt+A</source>
        <translation>Alt+A</translation>
    </message>
    <message>
        <source>IP Manager</source>
        <translation>IP 管理器</translation>
    </message>
    <message>
        <source>VCOM-Network Connection</source>
        <translation>虚拟串口-网络连接</translation>
    </message>
    <message>
        <source>Uart Net Assistant</source>
        <translation>串口网络调试助手</translation>
    </message>
    <message>
        <source>Messages</source>
        <translation>消息</translation>
    </message>
    <message>
        <source>Do you want to quit system?</source>
        <translation>确定要退出系统吗？</translation>
    </message>
    <message>
        <source>&amp;Yes</source>
        <translation>是(&amp;Y)</translation>
    </message>
    <message>
        <source>&amp;No</source>
        <translation>否(&amp;N)</translation>
    </message>
    <message>
        <source>Copyright (C) 2026 The VXA developers</source>
        <translation>版权所有 (C) 2026 VXA 开发者</translation>
    </message>
</context>
</TS>
