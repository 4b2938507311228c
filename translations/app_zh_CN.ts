<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
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
