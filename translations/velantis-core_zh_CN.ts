<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
<context>
    <name>FileError</name>
    <message>
        <source>no file name given</source>
        <translation>没有给出文件名</translation>
    </message>
    <message>
        <source>this is a folder, not a file</source>
        <translation>这是文件夹, 不是文件</translation>
    </message>
    <message>
        <source>no reader: nothing is reading from this FIFO</source>
        <translation>没有读取方: 没有程序在读取这个 FIFO</translation>
    </message>
    <message>
        <source>the reader stopped reading: it took nothing for %1 s</source>
        <translation>读取方已停止读取: %1 s 内没有取走任何数据</translation>
    </message>
    <message>
        <source>this is not a regular file (a FIFO, a device or a socket)</source>
        <translation>这不是普通文件 (而是 FIFO、设备或套接字)</translation>
    </message>
    <message>
        <source>the file is larger than %1 MB, the most that Open shows</source>
        <translation>文件大于 %1 MB, 超出了“打开”能显示的上限</translation>
    </message>
    <message>
        <source>the list has characters that the GBK file format cannot hold (the first is &quot;%1&quot;, %2); nothing was written</source>
        <translation>列表中有 GBK 文件格式无法保存的字符 (第一个是 &quot;%1&quot;, %2); 没有写入任何内容</translation>
    </message>
    <message>
        <source>only %1 of %2 bytes could be written (the disk is full or a file size limit was reached)</source>
        <translation>%2 字节中只写入了 %1 字节 (磁盘已满, 或已达到文件大小上限)</translation>
    </message>
</context>
<context>
    <name>PortMap</name>
    <message>
        <source>--port takes N=DEVICE with N from 1 to 16, e.g. --port 3=/dev/pts/4</source>
        <translation>--port 的值应为 N=DEVICE, N 为 1 到 16, 例如 --port 3=/dev/pts/4</translation>
    </message>
</context>
<context>
    <name>SimulatedInstrument</name>
    <message>
        <source>fcntl on the pty master</source>
        <translation>对 pty 主端执行 fcntl</translation>
    </message>
    <message>
        <source>open pty slave</source>
        <translation>打开 pty 从端</translation>
    </message>
    <message>
        <source>the link path is taken by something that is not a link</source>
        <translation>链接路径已被不是符号链接的文件占用</translation>
    </message>
    <message>
        <source>rename of the link</source>
        <translation>重命名链接</translation>
    </message>
    <message>
        <source>the simulator is already running</source>
        <translation>模拟器已在运行</translation>
    </message>
    <message>
        <source>fcntl on the stop pipe</source>
        <translation>对停止管道执行 fcntl</translation>
    </message>
</context>
<context>
    <name>SimulatedLine</name>
    <message>
        <source>No such file or directory</source>
        <translation>没有那个文件或目录</translation>
    </message>
    <message>
        <source>Device or resource busy</source>
        <translation>设备或资源忙</translation>
    </message>
    <message>
        <source>the simulated instrument was unplugged</source>
        <translation>模拟仪器已被拔出</translation>
    </message>
</context>
<context>
    <name>TextCodec</name>
    <message>
        <source>This build of Qt has no GBK text codec (Qt needs ICU for it), so the program cannot read or write its data files. Install a Qt built with ICU and start it again.</source>
        <translation>此版本的 Qt 没有 GBK 文本编码 (Qt 需要 ICU 才能提供), 因此本程序无法读写数据文件。请安装带 ICU 的 Qt, 然后重新启动本程序。</translation>
    </message>
</context>
</TS>
