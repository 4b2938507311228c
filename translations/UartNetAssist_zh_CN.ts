<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>CommandEditor</name>
    <message>
        <source>Command</source>
        <translation>命令</translation>
    </message>
    <message>
        <source>Name:</source>
        <translation>名称：</translation>
    </message>
    <message>
        <source>One step per line: send, sendhex, sendraw, sendrawhex, wait, expect, expecthex, expectre, repeat ... end, log, onfail. A single line without a keyword is sent as it is.</source>
        <translation>每行一个步骤：send、sendhex、sendraw、sendrawhex、wait、expect、expecthex、expectre、repeat ... end、log、onfail。不含关键字的单行文本按原样发送。</translation>
    </message>
    <message>
        <source>Give the command a name.</source>
        <translation>请为命令命名。</translation>
    </message>
    <message>
        <source>The script has no steps yet.</source>
        <translation>脚本中还没有步骤。</translation>
    </message>
    <message>
        <source>The script is correct.</source>
        <translation>脚本正确。</translation>
    </message>
</context>
<context>
    <name>CommandLibrary</name>
    <message>
        <source>Commands</source>
        <translation>命令</translation>
    </message>
    <message>
        <source>Double-click or press Enter to run a command on the current panel; drag to reorder.</source>
        <translation>双击或按 Enter 在当前面板上运行命令；拖动可调整顺序。</translation>
    </message>
    <message>
        <source>Add...</source>
        <translation>添加...</translation>
    </message>
    <message>
        <source>Edit...</source>
        <translation>编辑...</translation>
    </message>
    <message>
        <source>Duplicate</source>
        <translation>复制</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>删除</translation>
    </message>
    <message>
        <source>Import...</source>
        <translation>导入...</translation>
    </message>
    <message>
        <source>Export...</source>
        <translation>导出...</translation>
    </message>
    <message>
        <source>Run</source>
        <translation>运行</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>New Command</source>
        <translation>新建命令</translation>
    </message>
    <message>
        <source>Edit Command</source>
        <translation>编辑命令</translation>
    </message>
    <message>
        <source>Command libraries (*.ini);;All files (*)</source>
        <translation>命令库 (*.ini);;所有文件 (*)</translation>
    </message>
    <message>
        <source>Command libraries (*.ini)</source>
        <translation>命令库 (*.ini)</translation>
    </message>
    <message>
        <source>The command has no name.</source>
        <translation>命令没有名称。</translation>
    </message>
    <message>
        <source>The library holds at most %1 commands.</source>
        <translation>命令库最多容纳 %1 条命令。</translation>
    </message>
    <message>
        <source>The command library cannot be saved: %1</source>
        <translation>无法保存命令库：%1</translation>
    </message>
    <message>
        <source>%1 (copy)</source>
        <translation>%1（副本）</translation>
    </message>
    <message>
        <source>Delete the command &apos;%1&apos;?</source>
        <translation>删除命令“%1”？</translation>
    </message>
    <message numerus="yes">
        <source>%n command(s) added from %1.</source>
        <translation>
            <numerusform>已从 %1 添加 %n 条命令。</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n left out: a faulty script or a full library.</source>
        <translation>
            <numerusform>%n 条未添加：脚本有错误或命令库已满。</numerusform>
        </translation>
    </message>
    <message>
        <source>Import Commands</source>
        <translation>导入命令</translation>
    </message>
    <message>
        <source>Export Commands</source>
        <translation>导出命令</translation>
    </message>
    <message numerus="yes">
        <source>%n command(s) exported to %1.</source>
        <translation>
            <numerusform>已将 %n 条命令导出到 %1。</numerusform>
        </translation>
    </message>
    <message>
        <source>the panel is gone</source>
        <translation>面板已不存在</translation>
    </message>
    <message>
        <source>the panel was closed</source>
        <translation>面板已关闭</translation>
    </message>
    <message>
        <source>Command &apos;%1&apos;: %2</source>
        <translation>命令“%1”：%2</translation>
    </message>
    <message>
        <source>There is no debugging assistant to run &apos;%1&apos; on.</source>
        <translation>没有可运行“%1”的调试助手。</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is still running on this panel; stop it first.</source>
        <translation>“%1”仍在此面板上运行，请先停止它。</translation>
    </message>
    <message>
        <source>&apos;%1&apos; cannot run: %2</source>
        <translation>“%1”无法运行：%2</translation>
    </message>
    <message>
        <source>&apos;%1&apos; cannot run: the panel is not open.</source>
        <translation>“%1”无法运行：面板未打开。</translation>
    </message>
    <message>
        <source>Running &apos;%1&apos; on %2</source>
        <translation>正在 %2 上运行“%1”</translation>
    </message>
    <message>
        <source>stopped by the user</source>
        <translation>被用户停止</translation>
    </message>
    <message>
        <source>the panel was deleted</source>
        <translation>面板已删除</translation>
    </message>
</context>
<context>
    <name>CommandLibraryFile</name>
    <message>
        <source>%1 cannot be read.</source>
        <translation>无法读取 %1。</translation>
    </message>
    <message>
        <source>%1 cannot be written.</source>
        <translation>无法写入 %1。</translation>
    </message>
</context>
<context>
    <name>CommandRunner</name>
    <message>
        <source>stopped after %1 s: %2</source>
        <translation>%1 秒后停止：%2</translation>
    </message>
    <message>
        <source>loop %1</source>
        <translation>第 %1 轮</translation>
    </message>
    <message>
        <source>loop %1 of %2</source>
        <translation>第 %1 轮，共 %2 轮</translation>
    </message>
    <message>
        <source>line %1: received %2</source>
        <translation>第 %1 行：收到 %2</translation>
    </message>
    <message>
        <source>passed in %1 s</source>
        <translation>通过，用时 %1 秒</translation>
    </message>
    <message numerus="yes">
        <source>finished in %1 s, %n expect(s) failed</source>
        <translation>
            <numerusform>完成，用时 %1 秒，%n 个 expect 失败</numerusform>
        </translation>
    </message>
    <message>
        <source>failed at line %1: %2</source>
        <translation>在第 %1 行失败：%2</translation>
    </message>
    <message>
        <source>line %1: sent %2</source>
        <translation>第 %1 行：已发送 %2</translation>
    </message>
    <message>
        <source>line %1: wait %2 ms</source>
        <translation>第 %1 行：等待 %2 毫秒</translation>
    </message>
    <message>
        <source>line %1: %2</source>
        <translation>第 %1 行：%2</translation>
    </message>
    <message>
        <source>no match for &apos;%1&apos; within %2 ms</source>
        <translation>%2 毫秒内没有与“%1”匹配的数据</translation>
    </message>
    <message>
        <source>no &apos;%1&apos; within %2 ms</source>
        <translation>%2 毫秒内没有收到“%1”</translation>
    </message>
    <message>
        <source>line %1: %2, going on</source>
        <translation>第 %1 行：%2，继续执行</translation>
    </message>
</context>
<context>
    <name>CommandScript</name>
    <message>
        <source>line %1: %2</source>
        <translation>第 %1 行：%2</translation>
    </message>
    <message>
        <source>&apos;repeat&apos; without &apos;end&apos;</source>
        <translation>“repeat”没有对应的“end”</translation>
    </message>
    <message>
        <source>the time-out must be from 1 to %1 ms</source>
        <translation>超时时间必须在 1 到 %1 毫秒之间</translation>
    </message>
    <message>
        <source>&apos;%1&apos; needs a text</source>
        <translation>“%1”需要文本</translation>
    </message>
    <message>
        <source>&apos;wait&apos; needs a number of milliseconds from 0 to %1</source>
        <translation>“wait”需要 0 到 %1 之间的毫秒数</translation>
    </message>
    <message>
        <source>&apos;%1&apos; needs what to wait for</source>
        <translation>“%1”需要指定等待的内容</translation>
    </message>
    <message>
        <source>&apos;expectre&apos; needs a regular expression</source>
        <translation>“expectre”需要正则表达式</translation>
    </message>
    <message>
        <source>invalid regular expression: %1</source>
        <translation>正则表达式无效：%1</translation>
    </message>
    <message>
        <source>&apos;repeat&apos; needs a count from 1 to %1 or &apos;forever&apos;</source>
        <translation>“repeat”需要 1 到 %1 之间的次数或“forever”</translation>
    </message>
    <message>
        <source>&apos;end&apos; takes nothing after it</source>
        <translation>“end”后面不能有内容</translation>
    </message>
    <message>
        <source>&apos;end&apos; without &apos;repeat&apos;</source>
        <translation>“end”没有对应的“repeat”</translation>
    </message>
    <message>
        <source>&apos;onfail&apos; takes &apos;continue&apos; or &apos;stop&apos;</source>
        <translation>“onfail”只接受“continue”或“stop”</translation>
    </message>
    <message>
        <source>unknown command &apos;%1&apos;</source>
        <translation>未知命令“%1”</translation>
    </message>
    <message>
        <source>a &apos;\&apos; at the end of the text</source>
        <translation>文本末尾有一个“\”</translation>
    </message>
    <message>
        <source>&apos;\x&apos; needs two hex digits</source>
        <translation>“\x”需要两位十六进制数字</translation>
    </message>
    <message>
        <source>unknown escape &apos;\%1&apos;</source>
        <translation>未知的转义“\%1”</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not hex</source>
        <translation>“%1”不是十六进制</translation>
    </message>
    <message>
        <source>no hex bytes</source>
        <translation>没有十六进制字节</translation>
    </message>
</context>
<context>
    <name>UartNetAssist</name>
    <message>
        <source>%1 device not found. The port is gone: check that the device is plugged in.</source>
        <translation>未找到设备 %1。该端口已不存在：请检查设备是否已插好。</translation>
    </message>
    <message>
        <source>You have no permission to open the serial port %1: only the administrator may open it.</source>
        <translation>您没有打开串口 %1 的权限：只有管理员可以打开它。</translation>
    </message>
    <message>
        <source>You have no permission to open the serial port %1. Its device file belongs to the group &quot;%2&quot;: add yourself to that group (sudo usermod -aG %2 $USER) and log in again.</source>
        <translation>您没有打开串口 %1 的权限。其设备文件属于用户组“%2”：请将自己加入该组（sudo usermod -aG %2 $USER）并重新登录。</translation>
    </message>
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
        <source>Send the box&apos;s content (%1)</source>
        <translation>发送框中的内容（%1）</translation>
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
        <source>Cannot save the assistant history in %1.</source>
        <translation>无法将调试助手历史记录保存到 %1。</translation>
    </message>
    <message>
        <source>%1 cannot be written.</source>
        <translation>无法写入 %1。</translation>
    </message>
</context>
</TS>
