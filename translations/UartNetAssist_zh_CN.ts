<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>UartNetAssist</name>
    <message>
        <source>Cannot save the assistant history in %1.</source>
        <translation>无法将调试助手历史记录保存到 %1。</translation>
    </message>
</context>
<context>
    <name>UartNetAssist</name>
    <message>
        <source>Form</source>
        <translation>窗体</translation>
    </message>
    <message>
        <source>Communication Port</source>
        <translation>通讯端口</translation>
    </message>
    <message>
        <source>Params Setting</source>
        <translation>参数设置</translation>
    </message>
    <message>
        <source>Port Name</source>
        <translation>端口号</translation>
    </message>
    <message>
        <source>Baud Rate</source>
        <translation>波特率</translation>
    </message>
    <message>
        <source>Data Bit</source>
        <translation>数据位</translation>
    </message>
    <message>
        <source>Parity Bit</source>
        <translation>校验位</translation>
    </message>
    <message>
        <source>Stop Bit</source>
        <translation>停止位</translation>
    </message>
    <message>
        <source>Single Package Time(ms)</source>
        <translation>单包时间(毫秒)</translation>
    </message>
    <message>
        <source>Maximum receiving time of single packet data</source>
        <translation>单包数据的最长接收时间</translation>
    </message>
    <message>
        <source>OPEN</source>
        <translation>打开</translation>
    </message>
    <message>
        <source>Local Host Addr</source>
        <translation>本地主机地址</translation>
    </message>
    <message>
        <source>Local Host Port</source>
        <translation>本地主机端口</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>连接</translation>
    </message>
    <message>
        <source>Receive Setting</source>
        <translation>接收设置</translation>
    </message>
    <message>
        <source>Show Receive Time</source>
        <translation>显示接收时间</translation>
    </message>
    <message>
        <source>Show In Hex</source>
        <translation>十六进制显示</translation>
    </message>
    <message>
        <source>Wrap Automaticlly</source>
        <translation>自动换行</translation>
    </message>
    <message>
        <source>Receive To File</source>
        <translation>接收转向文件</translation>
    </message>
    <message>
        <source>Single Size(M)</source>
        <translation>单个大小(M)</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>清除</translation>
    </message>
    <message>
        <source>Save Data</source>
        <translation>保存数据</translation>
    </message>
    <message>
        <source>Send Setting</source>
        <translation>发送设置</translation>
    </message>
    <message>
        <source>Send In Hex</source>
        <translation>十六进制发送</translation>
    </message>
    <message>
        <source>Send From File</source>
        <translation>从文件发送</translation>
    </message>
    <message>
        <source>Auto Addition</source>
        <translation>自动附加</translation>
    </message>
    <message>
        <source>Periodic Sending</source>
        <translation>定时发送</translation>
    </message>
    <message>
        <source>Interval (ms)</source>
        <translation>间隔(毫秒)</translation>
    </message>
    <message>
        <source>Auto Clear Input</source>
        <translation>发送后清空</translation>
    </message>
    <message>
        <source>Auto Reply</source>
        <translation>自动回复</translation>
    </message>
    <message>
        <source>Automatically reply to received data when any data is received</source>
        <translation>收到任何数据时自动回复所收到的数据</translation>
    </message>
    <message>
        <source>Custom Reply</source>
        <translation>自定义回复</translation>
    </message>
    <message>
        <source>Automatically reply to data in this send text box when any data is received</source>
        <translation>收到任何数据时自动回复本发送框中的数据</translation>
    </message>
    <message>
        <source>Load File</source>
        <translation>加载文件</translation>
    </message>
    <message>
        <source>Data Received</source>
        <translation>数据接收</translation>
    </message>
    <message>
        <source>RemoteAddr</source>
        <translation>远程地址</translation>
    </message>
    <message>
        <source>Clear History</source>
        <translation>清除历史</translation>
    </message>
    <message>
        <source>Client</source>
        <translation>客户端</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>断开</translation>
    </message>
    <message>
        <source>Data Send</source>
        <translation>数据发送</translation>
    </message>
    <message>
        <source>Progress</source>
        <translation>进度</translation>
    </message>
    <message>
        <source>Single Bytes</source>
        <translation>单次字节数</translation>
    </message>
    <message>
        <source>Time Interval(ms)</source>
        <translation>时间间隔(毫秒)</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>开始</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>暂停</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>发送</translation>
    </message>
    <message>
        <source>Send:</source>
        <translation>发送:</translation>
    </message>
    <message>
        <source>Recv:</source>
        <translation>接收:</translation>
    </message>
    <message>
        <source>Reset Count</source>
        <translation>计数清零</translation>
    </message>
    <message>
        <source>tips</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>Are you sure to delete all remote host addr history?</source>
        <translation>确定要删除全部远程主机地址历史吗？</translation>
    </message>
    <message>
        <source>All Connections</source>
        <translation>全部连接</translation>
    </message>
    <message>
        <source>Please choose a client connection first!</source>
        <translation>请先选择一个客户端连接！</translation>
    </message>
    <message>
        <source>Remote Addr:Port</source>
        <translation>远程地址:端口</translation>
    </message>
    <message>
        <source>close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>open</source>
        <translation>打开</translation>
    </message>
    <message>
        <source>disconnect</source>
        <translation>断开</translation>
    </message>
    <message>
        <source>connect</source>
        <translation>连接</translation>
    </message>
    <message>
        <source>connecting...</source>
        <translation>连接中…</translation>
    </message>
    <message>
        <source>%1 device not found.</source>
        <translation>未找到设备 %1。</translation>
    </message>
    <message>
        <source>Failed to open the serial port %1. Check whether it is occupied by other programs.</source>
        <translation>打开串口 %1 失败，请检查是否被其他程序占用。</translation>
    </message>
    <message>
        <source>Failed to open the serial port %1. Check whether the parameters are correct.</source>
        <translation>打开串口 %1 失败，请检查参数是否正确。</translation>
    </message>
    <message>
        <source>There is no connection now!</source>
        <translation>当前没有连接！</translation>
    </message>
    <message>
        <source>The connection has been disconnected!</source>
        <translation>连接已断开！</translation>
    </message>
    <message>
        <source>Device is removed!</source>
        <translation>设备已移除！</translation>
    </message>
    <message>
        <source>Receive from %1%2:</source>
        <translation>接收自 %1%2:</translation>
    </message>
    <message>
        <source>Send:%1</source>
        <translation>发送:%1</translation>
    </message>
    <message>
        <source>Recv:%1</source>
        <translation>接收:%1</translation>
    </message>
    <message>
        <source>Serial is not opend!</source>
        <translation>串口未打开！</translation>
    </message>
    <message>
        <source>The TCP client is not connected!</source>
        <translation>TCP 客户端未连接！</translation>
    </message>
    <message>
        <source>Invalid remote host addr,(Host:Port)</source>
        <translation>远程主机地址无效,(主机:端口)</translation>
    </message>
    <message>
        <source>The UDP socket is not open!</source>
        <translation>UDP 套接字未打开！</translation>
    </message>
    <message>
        <source>send</source>
        <translation>发送</translation>
    </message>
    <message>
        <source>there is no data!</source>
        <translation>没有数据！</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>stop send</source>
        <translation>停止发送</translation>
    </message>
    <message>
        <source>Invalid port %1: enter a number from %2 to %3.</source>
        <translation>端口 %1 无效：请输入 %2 到 %3 之间的数字。</translation>
    </message>
    <message>
        <source>The interval must be a number of milliseconds from %1 to %2.</source>
        <translation>间隔必须是 %1 到 %2 之间的毫秒数。</translation>
        <source>Checksum</source>
        <translation>校验</translation>
    </message>
    <message>
        <source>Appended to each frame sent from the send box, before the addition</source>
        <translation>附加在发送框发出的每帧之后、附加字节之前</translation>
    </message>
    <message>
        <source>None</source>
        <translation>无</translation>
    </message>
    <message>
        <source>Payloads sent last, newest first (Ctrl+Up / Ctrl+Down in the send box)</source>
        <translation>最近发送的内容，最新的在前（在发送框中按 Ctrl+Up / Ctrl+Down）</translation>
    </message>
    <message>
        <source>History</source>
        <translation>历史</translation>
    </message>
    <message>
        <source>Millisecond Time Stamps</source>
        <translation>毫秒时间戳</translation>
    </message>
    <message>
        <source>Show Control Bytes</source>
        <translation>显示控制字符</translation>
    </message>
    <message>
        <source>Hex With Text Column</source>
        <translation>十六进制附文本列</translation>
    </message>
    <message>
        <source>Scrollback</source>
        <translation>保留行数</translation>
    </message>
    <message>
        <source>%1 lines</source>
        <translation>%1 行</translation>
    </message>
    <message>
        <source>Find...</source>
        <translation>查找...</translation>
    </message>
    <message>
        <source>Receiving into %1</source>
        <translation>正在将接收数据写入 %1</translation>
    </message>
</context>
<context>
    <name>RecvFindBar</name>
    <message>
        <source>Searching...</source>
        <translation>正在查找...</translation>
    </message>
    <message>
        <source>Find (hex bytes in a hex view)</source>
        <translation>查找（十六进制显示时输入十六进制字节）</translation>
    </message>
    <message>
        <source>Match Case</source>
        <translation>区分大小写</translation>
    </message>
    <message>
        <source>Previous (Shift+Enter)</source>
        <translation>上一个（Shift+Enter）</translation>
    </message>
    <message>
        <source>Next (Enter)</source>
        <translation>下一个（Enter）</translation>
    </message>
    <message>
        <source>Close (Escape)</source>
        <translation>关闭（Esc）</translation>
    </message>
    <message>
        <source>No matches</source>
        <translation>无匹配</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>第 %1 个，共 %2 个</translation>
    </message>
</context>
<context>
    <name>AssistShared</name>
    <message>
        <source>%1 cannot be written.</source>
        <translation>无法写入 %1。</translation>
    </message>
</context>
</TS>
