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
    <name>ListImport</name>
    <message>
        <source>“%1” is not a rated ratio such as 200/5</source>
        <translation>“%1” 不是额定变比（如 200/5）</translation>
    </message>
    <message>
        <source>the rated primary %1 A cannot be held by the instrument&apos;s frame (1 to %2 A)</source>
        <translation>额定一次电流 %1 A 无法存入仪器的数据帧（1 至 %2 A）</translation>
    </message>
    <message>
        <source>the rated secondary %1 A cannot be held by the instrument&apos;s frame (0.1 to 25.5 A in steps of 0.1 A)</source>
        <translation>额定二次电流 %1 A 无法存入仪器的数据帧（0.1 至 25.5 A，以 0.1 A 为单位）</translation>
    </message>
    <message>
        <source>a row has 7 columns after its group number, this line has %1</source>
        <translation>数据行在组号之后有 7 列，此行有 %1 列</translation>
    </message>
    <message>
        <source>the high-voltage current</source>
        <translation>高压电流</translation>
    </message>
    <message>
        <source>the R current</source>
        <translation>R通道电流</translation>
    </message>
    <message>
        <source>the S current</source>
        <translation>S通道电流</translation>
    </message>
    <message>
        <source>the T current</source>
        <translation>T通道电流</translation>
    </message>
    <message>
        <source>%1 “%2” is not a reading the instrument shows</source>
        <translation>%1 “%2” 不是仪器会显示的读数</translation>
    </message>
    <message>
        <source>the ratio error “%1” is not one the instrument shows</source>
        <translation>比值差 “%1” 不是仪器会显示的值</translation>
    </message>
    <message>
        <source>“%1” is no channel (R, S, T or - -)</source>
        <translation>“%1” 不是通道（R、S、T 或 - -）</translation>
    </message>
    <message>
        <source>a group whose high-voltage current reads err has no channel (- -)</source>
        <translation>高压电流为 err 的组没有通道（- -）</translation>
    </message>
    <message>
        <source>the ratio “%1” is of another rated secondary than the %2 given</source>
        <translation>变比 “%1” 的额定二次电流与给出的 %2 不同</translation>
    </message>
    <message>
        <source>the ratio “%1” is not what the currents give (%2)</source>
        <translation>变比 “%1” 与电流所得的变比（%2）不符</translation>
    </message>
    <message>
        <source>the columns are not where the list puts them</source>
        <translation>各列的位置与列表不符</translation>
    </message>
    <message>
        <source>the line has no line end (CR LF)</source>
        <translation>此行没有行尾（CR LF）</translation>
    </message>
    <message>
        <source>the line ends with LF alone, not CR LF</source>
        <translation>此行以单独的 LF 结尾，而不是 CR LF</translation>
    </message>
    <message>
        <source>the line ends with CR alone, not CR LF</source>
        <translation>此行以单独的 CR 结尾，而不是 CR LF</translation>
    </message>
    <message>
        <source>no rated ratio given</source>
        <translation>未给出额定变比</translation>
    </message>
    <message>
        <source>“%1” is not groups:ratio with groups within 1-%2, such as 1-9:200/5</source>
        <translation>“%1” 不是 组号:变比 的形式（组号在 1-%2 之内，如 1-9:200/5）</translation>
    </message>
    <message>
        <source>the groups %1-%2 and %3-%4 overlap</source>
        <translation>组 %1-%2 与 %3-%4 重叠</translation>
    </message>
    <message>
        <source>the file is empty</source>
        <translation>文件是空的</translation>
    </message>
    <message>
        <source>the file is UTF-8 (it starts with a byte-order mark); a saved list is GBK</source>
        <translation>文件是 UTF-8 编码（以字节顺序标记开头）；保存的列表是 GBK 编码</translation>
    </message>
    <message>
        <source>the line is not GBK text</source>
        <translation>此行不是 GBK 文本</translation>
    </message>
    <message>
        <source>the line is not the list&apos;s column heading</source>
        <translation>此行不是列表的列标题</translation>
    </message>
    <message>
        <source>an empty line among the rows</source>
        <translation>数据行之间有空行</translation>
    </message>
    <message>
        <source>the line is not a row of groups (第nnnn组 …)</source>
        <translation>此行不是数据行（第nnnn组 …）</translation>
    </message>
    <message>
        <source>group %1 is outside 1-%2</source>
        <translation>组号 %1 不在 1-%2 之内</translation>
    </message>
    <message>
        <source>group %1 comes twice</source>
        <translation>组 %1 出现两次</translation>
    </message>
    <message>
        <source>group %1 comes after group %2: the rows are not in ascending order</source>
        <translation>组 %1 在组 %2 之后：数据行未按组号升序排列</translation>
    </message>
    <message>
        <source>no rated ratio was given for group %1</source>
        <translation>未给出组 %1 的额定变比</translation>
    </message>
    <message>
        <source>the list holds no groups</source>
        <translation>列表中没有任何组</translation>
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
