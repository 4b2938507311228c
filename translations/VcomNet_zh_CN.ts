<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>AdminNotice</name>
    <message>
        <source>Virtual serial ports are links under /dev, which only the administrator may create: restart the program as administrator to use them.</source>
        <translation>虚拟串口是 /dev 下的链接，只有管理员可以创建：请以管理员身份重新启动程序后使用。</translation>
    </message>
    <message>
        <source>Virtual serial ports are links under /dev, which only the administrator may create. You run the program as an ordinary user, so new connections here will fail. Restart it as administrator to use this tool; the other tools work as they are.</source>
        <translation>虚拟串口是 /dev 下的链接，只有管理员才能创建。您正以普通用户身份运行本程序，因此在这里新建连接会失败。请以管理员身份重新启动程序来使用此工具；其他工具照常可用。</translation>
    </message>
    <message>
        <source>Restart as administrator</source>
        <translation>以管理员身份重新启动</translation>
    </message>
    <message>
        <source>tips</source>
        <translation>提示</translation>
    </message>
</context>
<context>
    <name>plugVComData</name>
    <message>
        <source>Cannot save the connection in %1; it will not be recreated at the next start.</source>
        <translation>无法将连接保存到 %1；下次启动时不会重新创建该连接。</translation>
    </message>
</context>
<context>
    <name>DataMonitor</name>
    <message>
        <source>Form</source>
        <translation>窗体</translation>
    </message>
    <message>
        <source>No</source>
        <translation>否</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>时间</translation>
    </message>
    <message>
        <source>Source</source>
        <translation>来源</translation>
    </message>
    <message>
        <source>Length</source>
        <translation>长度</translation>
    </message>
    <message>
        <source>Content</source>
        <translation>内容</translation>
    </message>
    <message>
        <source>Original (Hex)</source>
        <translation>原始数据（十六进制）</translation>
    </message>
    <message>
        <source>clear</source>
        <translation>清空</translation>
    </message>
    <message>
        <source>save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>choose file</source>
        <translation>选择文件</translation>
    </message>
    <message>
        <source>txt files(*.txt)</source>
        <translation>文本文件(*.txt)</translation>
    </message>
    <message>
        <source>Monitor saved to %1</source>
        <translation>监控数据已保存到 %1</translation>
    </message>
    <message>
        <source>Monitor could not be saved to %1</source>
        <translation>监控数据无法保存到 %1</translation>
    </message>
</context>
<context>
    <name>Rfc2217Session</name>
    <message>
        <source>RFC 2217 refused by the server, plain TCP</source>
        <translation>服务器拒绝 RFC 2217，按普通 TCP 继续</translation>
    </message>
    <message>
        <source>no RFC 2217 answer from the server, plain TCP</source>
        <translation>服务器未应答 RFC 2217，按普通 TCP 继续</translation>
    </message>
    <message>
        <source>RFC 2217: not connected</source>
        <translation>RFC 2217：未连接</translation>
    </message>
    <message>
        <source>RFC 2217: waiting for the server</source>
        <translation>RFC 2217：等待服务器应答</translation>
    </message>
</context>
<context>
    <name>SerialPortMsg</name>
    <message>
        <source>packing interval (ms):</source>
        <translation>打包间隔 (毫秒)：</translation>
    </message>
    <message>
        <source>Form</source>
        <translation>窗体</translation>
    </message>
    <message>
        <source>com info</source>
        <translation>串口信息</translation>
    </message>
    <message>
        <source>com name:</source>
        <translation>串口名称：</translation>
    </message>
    <message>
        <source>com status:</source>
        <translation>串口状态：</translation>
    </message>
    <message>
        <source>com param:</source>
        <translation>串口参数：</translation>
    </message>
    <message>
        <source>opened program:</source>
        <translation>打开的程序：</translation>
    </message>
    <message>
        <source>receive bytes:</source>
        <translation>接收字节：</translation>
    </message>
    <message>
        <source>send bytes:</source>
        <translation>发送字节：</translation>
    </message>
</context>
<context>
    <name>TcpClientMsg</name>
    <message>
        <source>Form</source>
        <translation>窗体</translation>
    </message>
    <message>
        <source>net info</source>
        <translation>网络信息</translation>
    </message>
    <message>
        <source>type:</source>
        <translation>类型：</translation>
    </message>
    <message>
        <source>IP addr:</source>
        <translation>IP 地址：</translation>
    </message>
    <message>
        <source>port:</source>
        <translation>端口：</translation>
    </message>
    <message>
        <source>status:</source>
        <translation>状态：</translation>
    </message>
    <message>
        <source>receive bytes:</source>
        <translation>接收字节：</translation>
    </message>
    <message>
        <source>send bytes:</source>
        <translation>发送字节：</translation>
    </message>
</context>
<context>
    <name>TcpClientUnit</name>
    <message>
        <source>%1:%2 cannot be reached: %3 (trying again every %4 s)</source>
        <translation>无法连接 %1:%2：%3（每 %4 秒重试）</translation>
    </message>
    <message>
        <source>Connected</source>
        <translation>已连接</translation>
    </message>
    <message>
        <source>Not Connected</source>
        <translation>未连接</translation>
    </message>
    <message>
        <source>remote port &quot;%1&quot; is not a port number from 1 to 65535</source>
        <translation>远程端口“%1”不是 1 到 65535 之间的端口号</translation>
    </message>
</context>
<context>
    <name>TcpServerMsg</name>
    <message>
        <source>Form</source>
        <translation>窗体</translation>
    </message>
    <message>
        <source>net info</source>
        <translation>网络信息</translation>
    </message>
    <message>
        <source>type:</source>
        <translation>类型：</translation>
    </message>
    <message>
        <source>port:</source>
        <translation>端口：</translation>
    </message>
    <message>
        <source>connected num:</source>
        <translation>连接数：</translation>
    </message>
    <message>
        <source>status:</source>
        <translation>状态：</translation>
    </message>
    <message>
        <source>receive bytes:</source>
        <translation>接收字节：</translation>
    </message>
    <message>
        <source>send bytes:</source>
        <translation>发送字节：</translation>
    </message>
</context>
<context>
    <name>TcpServerUnit</name>
    <message>
        <source>Listening</source>
        <translation>监听中</translation>
    </message>
    <message>
        <source>Connected</source>
        <translation>已连接</translation>
    </message>
    <message>
        <source>TCP port &quot;%1&quot; is not a port number from 1 to 65535</source>
        <translation>TCP 端口“%1”不是 1 到 65535 之间的端口号</translation>
    </message>
    <message>
        <source>TCP port %1 could not be listened on: %2</source>
        <translation>无法监听 TCP 端口 %1：%2</translation>
    </message>
    <message>
        <source>Listen failed</source>
        <translation>监听失败</translation>
    </message>
</context>
<context>
    <name>UdpMsg</name>
    <message>
        <source>Form</source>
        <translation>窗体</translation>
    </message>
    <message>
        <source>net info</source>
        <translation>网络信息</translation>
    </message>
    <message>
        <source>type:</source>
        <translation>类型：</translation>
    </message>
    <message>
        <source>listen port:</source>
        <translation>监听端口：</translation>
    </message>
    <message>
        <source>remote ip addr:</source>
        <translation>远程 IP 地址：</translation>
    </message>
    <message>
        <source>remote port:</source>
        <translation>远程端口：</translation>
    </message>
    <message>
        <source>receive bytes:</source>
        <translation>接收字节：</translation>
    </message>
    <message>
        <source>send bytes:</source>
        <translation>发送字节：</translation>
    </message>
</context>
<context>
    <name>VSPConnectionMsg</name>
    <message>
        <source>tips</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>Are you sure to delete the connection?</source>
        <translation>确定要删除该连接吗？</translation>
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
        <source>serial port %1 is busy, please close it then try again!</source>
        <translation>串口 %1 正被占用，请关闭后再试！</translation>
    </message>
    <message>
        <source>Form</source>
        <translation>窗体</translation>
    </message>
    <message>
        <source>data monitor</source>
        <translation>数据监视</translation>
    </message>
    <message>
        <source>delete</source>
        <translation>删除</translation>
    </message>
    <message>
        <source>reset count</source>
        <translation>计数清零</translation>
    </message>
</context>
<context>
    <name>plugVComData</name>
    <message>
        <source>packing interval (ms)：</source>
        <translation>打包间隔 (毫秒)：</translation>
    </message>
    <message>
        <source>RFC 2217 (send line settings)</source>
        <translation>RFC 2217（发送串口参数）</translation>
    </message>
    <message>
        <source>data bits：</source>
        <translation>数据位：</translation>
    </message>
    <message>
        <source>parity：</source>
        <translation>校验位：</translation>
    </message>
    <message>
        <source>keep the server&apos;s setting</source>
        <translation>保持服务器的设置</translation>
    </message>
    <message>
        <source>none</source>
        <translation>无校验</translation>
    </message>
    <message>
        <source>odd</source>
        <translation>奇校验</translation>
    </message>
    <message>
        <source>even</source>
        <translation>偶校验</translation>
    </message>
    <message>
        <source>mark</source>
        <translation>标记校验 (Mark)</translation>
    </message>
    <message>
        <source>space</source>
        <translation>空格校验 (Space)</translation>
    </message>
    <message>
        <source>Form</source>
        <translation>窗体</translation>
    </message>
    <message>
        <source>     new COM - COM connection</source>
        <translation>     新建 COM - COM 连接</translation>
    </message>
    <message>
        <source>com1name：</source>
        <translation>串口1名称：</translation>
    </message>
    <message>
        <source>com2name：</source>
        <translation>串口2名称：</translation>
    </message>
    <message>
        <source>new</source>
        <translation>新建</translation>
    </message>
    <message>
        <source>cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>     new TCP Server - COM connection</source>
        <translation>     新建 TCP 服务器 - COM 连接</translation>
    </message>
    <message>
        <source>connection name：</source>
        <translation>连接名称：</translation>
    </message>
    <message>
        <source>choose com num：</source>
        <translation>选择串口号：</translation>
    </message>
    <message>
        <source>local tcp port：</source>
        <translation>本地 TCP 端口：</translation>
    </message>
    <message>
        <source>     new TCP Client - COM connection</source>
        <translation>     新建 TCP 客户端 - COM 连接</translation>
    </message>
    <message>
        <source>remote ip addr：</source>
        <translation>远程 IP 地址：</translation>
    </message>
    <message>
        <source>remote port：</source>
        <translation>远程端口：</translation>
    </message>
    <message>
        <source>     new UDP - COM connection</source>
        <translation>     新建 UDP - COM 连接</translation>
    </message>
    <message>
        <source>listen port：</source>
        <translation>监听端口：</translation>
    </message>
    <message>
        <source>Server %1</source>
        <translation>服务器 %1</translation>
    </message>
    <message>
        <source>Client %1</source>
        <translation>客户端 %1</translation>
    </message>
    <message>
        <source>UDP %1</source>
        <translation>UDP %1</translation>
    </message>
    <message>
        <source>tips</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>can&apos;t set serial com port with same name!</source>
        <translation>不能设置名称相同的串口！</translation>
    </message>
    <message>
        <source>create com pair failed, please try other com name</source>
        <translation>创建串口对失败，请尝试其他串口名称</translation>
    </message>
    <message numerus="yes">
        <source>%n saved connection(s) recreated</source>
        <translation>
            <numerusform>已重建 %n 个已保存的连接</numerusform>
        </translation>
    </message>
    <message>
        <source>Connection %1 deleted</source>
        <translation>连接 %1 已删除</translation>
    </message>
    <message>
        <source>The connection was not saved.</source>
        <translation>该连接未保存。</translation>
    </message>
</context>
<context>
    <name>plugVComManager</name>
    <message>
        <source>Server %1</source>
        <translation>服务器 %1</translation>
    </message>
    <message>
        <source>Client %1 %2</source>
        <translation>客户端 %1 %2</translation>
    </message>
    <message>
        <source>Udp %1</source>
        <translation>UDP %1</translation>
    </message>
    <message>
        <source>New Com Pair</source>
        <translation>新建串口对</translation>
    </message>
    <message>
        <source>New Com Server</source>
        <translation>新建串口-服务器</translation>
    </message>
    <message>
        <source>New Com Client</source>
        <translation>新建串口-客户端</translation>
    </message>
    <message>
        <source>New Com Udp</source>
        <translation>新建串口-UDP</translation>
    </message>
    <message>
        <source>Right-click or press Insert to add a virtual port connection</source>
        <translation>右键单击或按 Insert 键添加虚拟串口连接</translation>
    </message>
    <message>
        <source>New Connection</source>
        <translation>新建连接</translation>
    </message>
</context>
<context>
    <name>VSPortFunction</name>
    <message>
        <source>invalid port names %1, %2</source>
        <translation>无效的串口名 %1、%2</translation>
    </message>
    <message>
        <source>%1 exists already</source>
        <translation>%1 已存在</translation>
    </message>
    <message>
        <source>socat could not be started: %1</source>
        <translation>无法启动 socat：%1</translation>
    </message>
    <message>
        <source>socat did not report the pair running within %1 ms</source>
        <translation>socat 在 %1 毫秒内未报告串口对已运行</translation>
    </message>
</context>
<context>
    <name>ConnectionFile</name>
    <message>
        <source>packing interval &quot;%1&quot; is not a number of milliseconds from 0 to 1000</source>
        <translation>打包间隔“%1”不是 0 到 1000 之间的毫秒数</translation>
    </message>
    <message>
        <source>%1 &quot;%2&quot; is not a port number from 1 to 65535</source>
        <translation>%1“%2”不是 1 到 65535 之间的端口号</translation>
    </message>
    <message>
        <source>remote address &quot;%1&quot; is neither an IP address nor a host name</source>
        <translation>远程地址“%1”既不是 IP 地址也不是主机名</translation>
    </message>
    <message>
        <source>local TCP port</source>
        <translation>本地 TCP 端口</translation>
    </message>
    <message>
        <source>remote port</source>
        <translation>远程端口</translation>
    </message>
    <message>
        <source>listen port</source>
        <translation>监听端口</translation>
    </message>
</context>
<context>
    <name>SerialPortUnit</name>
    <message>
        <source>%1 could not be opened: %2</source>
        <translation>无法打开 %1：%2</translation>
    </message>
</context>
<context>
    <name>UdpUnit</name>
    <message>
        <source>listen port &quot;%1&quot; is not a port number from 1 to 65535</source>
        <translation>监听端口“%1”不是 1 到 65535 之间的端口号</translation>
    </message>
    <message>
        <source>remote port &quot;%1&quot; is not a port number from 1 to 65535</source>
        <translation>远程端口“%1”不是 1 到 65535 之间的端口号</translation>
    </message>
    <message>
        <source>remote address &quot;%1&quot; is neither an IP address nor a host name</source>
        <translation>远程地址“%1”既不是 IP 地址也不是主机名</translation>
    </message>
    <message>
        <source>UDP port %1 could not be bound: %2</source>
        <translation>无法绑定 UDP 端口 %1：%2</translation>
    </message>
    <message>
        <source>no address</source>
        <translation>没有地址</translation>
    </message>
    <message>
        <source>remote host %1 could not be resolved: %2</source>
        <translation>无法解析远程主机 %1：%2</translation>
    </message>
</context>
</TS>
