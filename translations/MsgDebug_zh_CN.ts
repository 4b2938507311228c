<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>dlgConnectParam</name>
    <message>
        <source>Cannot save the address history in %1.</source>
        <translation>无法将地址历史记录保存到 %1。</translation>
    </message>
</context>
<context>
    <name>CDebugWorker</name>
    <message>
        <source>Received data is empty!</source>
        <translation>接收的数据为空！</translation>
    </message>
    <message>
        <source>Head or tail is wrong!</source>
        <translation>帧头或帧尾错误！</translation>
    </message>
    <message>
        <source>Length is wrong!</source>
        <translation>帧长度错误！</translation>
    </message>
    <message>
        <source>Checksum is not equal!</source>
        <translation>校验和不一致！</translation>
    </message>
</context>
<context>
    <name>debugWindow</name>
    <message>
        <source>Debug Window</source>
        <translation>调试窗口</translation>
    </message>
    <message>
        <source>Filter Rule:</source>
        <translation>过滤规则：</translation>
    </message>
    <message>
        <source>Find Target:</source>
        <translation>查找目标：</translation>
    </message>
    <message>
        <source>Find Next</source>
        <translation>查找下一个</translation>
    </message>
    <message>
        <source>Receive data: %1</source>
        <translation>接收数据：%1</translation>
    </message>
    <message>
        <source>Err format: %1</source>
        <translation>格式错误：%1</translation>
    </message>
    <message>
        <source>Err data: %1</source>
        <translation>错误数据：%1</translation>
    </message>
    <message>
        <source>toolBar</source>
        <translation>工具栏</translation>
    </message>
    <message>
        <source>toolBar_2</source>
        <translation>状态栏</translation>
    </message>
</context>
<context>
    <name>winDebug</name>
    <message>
        <source>The frames cannot be recorded in %1: %2.
The session goes on without the record; start the program in a folder you may write to keep one.</source>
        <translation>无法将数据帧记录到 %1：%2。
调试会话将继续进行，但不做记录；如需记录，请在您有写权限的文件夹中启动程序。</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>时间</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>类型</translation>
    </message>
    <message>
        <source>Source</source>
        <translation>源</translation>
    </message>
    <message>
        <source>Destination</source>
        <translation>目的</translation>
    </message>
    <message>
        <source>Content</source>
        <translation>内容</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>开始</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>清除</translation>
    </message>
    <message>
        <source>Connected</source>
        <translation>已连接</translation>
    </message>
    <message>
        <source>disconnected</source>
        <translation>未连接</translation>
    </message>
    <message>
        <source>Receive data: %1</source>
        <translation>接收数据：%1</translation>
    </message>
    <message>
        <source>Err data: %1 type:%2</source>
        <translation>错误数据：%1 类型：%2</translation>
    </message>
    <message>
        <source>Err format: %1</source>
        <translation>格式错误：%1</translation>
    </message>
    <message>
        <source>Err data: %1</source>
        <translation>错误数据：%1</translation>
    </message>
    <message>
        <source>tips</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>Connection failure, Please check whether the network is faulty or there is a connection for message debugging of this device!</source>
        <translation>连接失败，请检查网络是否故障，或者该设备是否已有消息调试连接！</translation>
    </message>
    <message>
        <source>Save to file</source>
        <translation>保存到文件</translation>
    </message>
    <message>
        <source>Do you want to save data to the file named rs%1.txt?</source>
        <translation>是否将数据保存到名为 rs%1.txt 的文件？</translation>
    </message>
    <message>
        <source>[TYPE]:%1</source>
        <translation>[TYPE]:%1</translation>
    </message>
    <message>
        <source>[SRC]:%1</source>
        <translation>[SRC]:%1</translation>
    </message>
    <message>
        <source>[DST]:%1</source>
        <translation>[DST]:%1</translation>
    </message>
    <message>
        <source>Recording frames into %1</source>
        <translation>正在将报文记录到 %1</translation>
    </message>
</context>
<context>
    <name>dlgConnectParam</name>
    <message>
        <source>Connect Param</source>
        <translation>连接参数</translation>
    </message>
    <message>
        <source>IpAddress</source>
        <translation>IP地址</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>端口</translation>
    </message>
    <message>
        <source>tips</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>Please fill all the parameters!</source>
        <translation>请填写所有参数！</translation>
    </message>
</context>
<context>
    <name>plugMDManager</name>
    <message>
        <source>New MsgDebugging</source>
        <translation>新建消息调试</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>删除</translation>
    </message>
    <message>
        <source>Right-click or press Insert to add a debug session</source>
        <translation>右键单击或按 Insert 键添加调试会话</translation>
    </message>
</context>
<context>
    <name>plugMDData</name>
    <message>
        <source>tips</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>At most %1 debug sessions can be open at once. Please delete one first.</source>
        <translation>最多可同时打开 %1 个调试会话，请先删除一个。</translation>
    </message>
</context>
</TS>
