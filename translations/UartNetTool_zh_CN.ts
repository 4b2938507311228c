<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>FileSendWorker</name>
    <message>
        <source>A file is already being sent.</source>
        <translation>已有文件正在发送。</translation>
    </message>
</context>
<context>
    <name>RecvFileWriter</name>
    <message>
        <source>Cannot open %1: %2</source>
        <translation>无法打开 %1：%2</translation>
    </message>
</context>
<context>
    <name>plugUartNetManager</name>
    <message>
        <source>New Assist</source>
        <translation>新建助手</translation>
    </message>
    <message>
        <source>New Debugging Assistant</source>
        <translation>新建调试助手</translation>
    </message>
    <message>
        <source>Save Debugging Config</source>
        <translation>保存调试配置</translation>
    </message>
    <message>
        <source>Load Debugging Config</source>
        <translation>加载调试配置</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>复制</translation>
    </message>
    <message>
        <source>Paste</source>
        <translation>粘贴</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>删除</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>打开</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>发送</translation>
    </message>
    <message>
        <source>AutoReply</source>
        <translation>自动回复</translation>
    </message>
    <message>
        <source>AutoAddition</source>
        <translation>自动追加</translation>
    </message>
    <message>
        <source>ClearReceive</source>
        <translation>清空接收</translation>
    </message>
    <message>
        <source>ResetCount</source>
        <translation>计数清零</translation>
    </message>
    <message>
        <source>Assist Tool %1</source>
        <translation>助手工具 %1</translation>
    </message>
    <message>
        <source>Right-click or press Insert to add a debugging assistant</source>
        <translation>右键单击或按 Insert 键添加调试助手</translation>
    </message>
</context>
<context>
    <name>plugUartNetData</name>
    <message>
        <source>tips</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>At most %1 debugging assistants can be open at once. Delete one before creating another.</source>
        <translation>最多只能同时打开 %1 个调试助手。请先删除一个再新建。</translation>
    </message>
    <message>
        <source>Save to file</source>
        <translation>保存到文件</translation>
    </message>
    <message>
        <source>ini files(*.ini)</source>
        <translation>ini 文件(*.ini)</translation>
    </message>
    <message>
        <source>Tips</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>Save connection configs done.</source>
        <translation>保存连接配置完成。</translation>
    </message>
    <message>
        <source>Save connection configs failed: %1 cannot be written.</source>
        <translation>保存连接配置失败：无法写入 %1。</translation>
    </message>
    <message>
        <source>Choose file</source>
        <translation>选择文件</translation>
    </message>
    <message>
        <source>ini files(*)</source>
        <translation>ini 文件(*)</translation>
    </message>
    <message>
        <source>Connection set saved to %1</source>
        <translation>连接配置已保存到 %1</translation>
    </message>
    <message numerus="yes">
        <source>%n connection(s) loaded from %1</source>
        <translation>
            <numerusform>已从 %1 加载 %n 个连接</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>UartNetAssist</name>
    <message>
        <source>tips</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>open file</source>
        <translation>打开文件</translation>
    </message>
    <message>
        <source>All Files(*.*);;Data File(*.dat);;Txt File(*.txt)</source>
        <translation>所有文件(*.*);;数据文件(*.dat);;文本文件(*.txt)</translation>
    </message>
    <message>
        <source>Open file data source:</source>
        <translation>打开文件数据源：</translation>
    </message>
    <message>
        <source>Open send file failed!</source>
        <translation>打开发送文件失败！</translation>
    </message>
    <message>
        <source>%1 start send</source>
        <translation>%1 开始发送</translation>
    </message>
    <message>
        <source>pause</source>
        <translation>暂停</translation>
    </message>
    <message>
        <source>continue</source>
        <translation>继续</translation>
    </message>
    <message>
        <source>%1 stop send</source>
        <translation>%1 停止发送</translation>
    </message>
    <message>
        <source>receive data save to file</source>
        <translation>接收数据保存到文件</translation>
    </message>
    <message>
        <source>Data File(*.dat);;Txt File(*.txt);;All Files(*.*)</source>
        <translation>数据文件(*.dat);;文本文件(*.txt);;所有文件(*.*)</translation>
    </message>
    <message>
        <source>Open receive file failed!</source>
        <translation>打开接收文件失败！</translation>
    </message>
    <message>
        <source>Receive data save to  file:</source>
        <translation>接收数据保存到文件：</translation>
    </message>
    <message>
        <source>name save file</source>
        <translation>保存文件</translation>
    </message>
    <message>
        <source>txt files(*.txt)</source>
        <translation>文本文件(*.txt)</translation>
    </message>
    <message>
        <source>choose load file</source>
        <translation>选择加载文件</translation>
    </message>
    <message>
        <source>Write receive file failed!</source>
        <translation>写入接收文件失败！</translation>
    </message>
    <message>
        <source>File: %1
Reason: %2</source>
        <translation>文件：%1
原因：%2</translation>
    </message>
</context>
</TS>
