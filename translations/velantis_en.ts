<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>velantis::CurveChart</name>
    <message>
        <source>组号: %1
电流(%In): %2
F.Er: %3
限值: %4
结论: %5</source>
        <translation>Group: %1
Current (%In): %2
F.Er: %3
Limit: %4
Verdict: %5</translation>
    </message>
    <message>
        <source>另有 %1 组在此处</source>
        <translation>%1 more groups here</translation>
    </message>
</context>
<context>
    <name>velantis::CurveWindow</name>
    <message>
        <source>误差曲线 - Velantis</source>
        <translation>Error Curve - Velantis</translation>
    </message>
</context>
<context>
    <name>velantis::FileMessages</name>
    <message>
        <source>没有给出文件名</source>
        <translation>no file name was given</translation>
    </message>
    <message>
        <source>文件或文件夹不存在</source>
        <translation>no such file or folder</translation>
    </message>
    <message>
        <source>没有权限</source>
        <translation>permission denied</translation>
    </message>
    <message>
        <source>文件系统是只读的</source>
        <translation>the file system is read-only</translation>
    </message>
    <message>
        <source>磁盘已满</source>
        <translation>the disk is full</translation>
    </message>
    <message>
        <source>文件超过了系统允许的大小</source>
        <translation>the file is larger than the system allows</translation>
    </message>
    <message>
        <source>只写入了 %1 / %2 字节 (磁盘已满或达到文件大小上限)</source>
        <translation>only %1 of %2 bytes were written (the disk is full or the file size limit was reached)</translation>
    </message>
    <message>
        <source>这是一个文件夹，不是文件</source>
        <translation>this is a folder, not a file</translation>
    </message>
    <message>
        <source>没有程序在读取这个管道 (FIFO)</source>
        <translation>no program is reading this pipe (FIFO)</translation>
    </message>
    <message>
        <source>读取方停止了读取 (%1 秒内没有取走任何数据)</source>
        <translation>the reader stopped reading (it took nothing for %1 seconds)</translation>
    </message>
    <message>
        <source>这不是普通文件 (是管道、设备或套接字)</source>
        <translation>this is not a regular file (it is a pipe, a device or a socket)</translation>
    </message>
    <message>
        <source>文件大于 %1 MB，打开最多显示 %1 MB</source>
        <translation>the file is larger than %1 MB; Open shows at most %1 MB</translation>
    </message>
    <message>
        <source>原有文件保持不变。</source>
        <translation>The existing file is unchanged.</translation>
    </message>
    <message>
        <source>没有写入任何内容。</source>
        <translation>Nothing was written.</translation>
    </message>
    <message>
        <source>文件只写入了一部分，内容不完整。</source>
        <translation>The file was only partly written and is incomplete.</translation>
    </message>
    <message>
        <source>未能保存 %1：%2。
%3</source>
        <translation>Could not save %1: %2.
%3</translation>
    </message>
    <message>
        <source>记录已停止：%1 已被删除或移走 (文件或它所在的文件夹不在原处了)。
此前写入了 %2 行。</source>
        <translation>Recording stopped: %1 was deleted or moved (the file or its folder is no longer where it was).
%2 rows had been written.</translation>
    </message>
    <message>
        <source>记录已停止：未能写入 %1：%2。
已写入的 %3 行保留在文件中。</source>
        <translation>Recording stopped: could not write %1: %2.
The %3 rows written stay in the file.</translation>
    </message>
    <message>
        <source>无法打开 %1：%2。</source>
        <translation>Could not open %1: %2.</translation>
    </message>
    <message>
        <source>列表中有 GBK 格式无法保存的字符 (第一个是 &quot;%1&quot;)</source>
        <translation>the list holds characters that GBK cannot store (the first is &quot;%1&quot;)</translation>
    </message>
</context>
<context>
    <name>velantis::HistoryWindow</name>
    <message>
        <source>磁盘已满</source>
        <translation>the disk is full</translation>
    </message>
    <message>
        <source>文件或磁盘只读</source>
        <translation>the file or the disk is read-only</translation>
    </message>
    <message>
        <source>被其他程序占用，等待后仍未释放</source>
        <translation>another program holds it and did not let go in time</translation>
    </message>
    <message>
        <source>不是记录数据库或已损坏</source>
        <translation>it is not a record database, or it is damaged</translation>
    </message>
    <message>
        <source>由更新版本的程序写入，只能读取</source>
        <translation>a newer version of the program wrote it; it can only be read</translation>
    </message>
    <message>
        <source>无法打开</source>
        <translation>it cannot be opened</translation>
    </message>
    <message>
        <source>没有这条记录</source>
        <translation>there is no such test</translation>
    </message>
    <message>
        <source>记录数据库：%1
原因：%2</source>
        <translation>Record database: %1
Reason: %2</translation>
    </message>
    <message>
        <source>历史记录</source>
        <translation>Test Records</translation>
    </message>
    <message>
        <source>站名、设备、编号或备注</source>
        <translation>Station, device, serial number or remarks</translation>
    </message>
    <message>
        <source>查找：</source>
        <translation>Find:</translation>
    </message>
    <message>
        <source>打开</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>导出报告</source>
        <translation>Export Report</translation>
    </message>
    <message>
        <source>导出 CSV</source>
        <translation>Export CSV</translation>
    </message>
    <message>
        <source>测试信息</source>
        <translation>Test Information</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>%1 / %2 条</source>
        <translation>%1 / %2 tests</translation>
    </message>
    <message>
        <source>正在读取数据，读取结束后再打开记录。</source>
        <translation>A download is running; open the test when it has ended.</translation>
    </message>
    <message>
        <source>删除第 %1 号记录？</source>
        <translation>Delete test no. %1?</translation>
    </message>
    <message>
        <source>还没有记录数据库</source>
        <translation>no record database yet</translation>
    </message>
    <message>
        <source>是其他程序的数据库，未作改动</source>
        <translation>a database of another program; left as it is</translation>
    </message>
    <message>
        <source>还没有存档的测试：每次读取到数据后，测试会自动存入这里。</source>
        <translation>No test has been archived yet: every download that stores a group is kept here.</translation>
    </message>
    <message>
        <source>同一测试已存为第 %1 号记录</source>
        <translation>the same test is kept already as record %1</translation>
    </message>
    <message>
        <source>导入…</source>
        <translation>Import…</translation>
    </message>
    <message>
        <source>测试数据 (*.json) (*.json)</source>
        <translation>Test Data (*.json) (*.json)</translation>
    </message>
    <message>
        <source>所有文件 (*) (*)</source>
        <translation>All Files (*) (*)</translation>
    </message>
    <message>
        <source>导入</source>
        <translation>Import</translation>
    </message>
    <message>
        <source>%1 中的测试已存为第 %2 号记录，未再次导入。</source>
        <translation>The test in %1 is kept already as record %2; it was not imported again.</translation>
    </message>
    <message>
        <source>%1 不是测试数据文件 (JSON)，未导入。</source>
        <translation>%1 is not a test data file (JSON); nothing was imported.</translation>
    </message>
    <message>
        <source>%1 未导入，文件中没有任何数据存入记录。
位置：%2
原因：%3</source>
        <translation>%1 was not imported; nothing of the file was kept.
Place: %2
Reason: %3</translation>
    </message>
    <message>
        <source>拆分测试</source>
        <translation>Split Test</translation>
    </message>
    <message>
        <source>服务器 %1 条</source>
        <translation>%1 tests on the server</translation>
    </message>
    <message>
        <source>，向下滚动读取更多</source>
        <translation>; scroll down for more</translation>
    </message>
    <message>
        <source>本机</source>
        <translation>This PC</translation>
    </message>
    <message>
        <source>服务器</source>
        <translation>Server</translation>
    </message>
    <message>
        <source>复制到本机</source>
        <translation>Copy to This PC</translation>
    </message>
    <message>
        <source>还没有设置服务器：请在主窗口的 文件 → 服务器… 中设置。</source>
        <translation>No server has been chosen: choose one under File → Server… in the main window.</translation>
    </message>
    <message>
        <source>正在连接服务器…</source>
        <translation>Connecting to the server…</translation>
    </message>
    <message>
        <source>服务器：%1</source>
        <translation>Server: %1</translation>
    </message>
    <message>
        <source>正在从服务器读取…</source>
        <translation>Reading from the server…</translation>
    </message>
    <message>
        <source>已复制到本机：第 %1 号记录</source>
        <translation>Copied to this PC as record %1</translation>
    </message>
    <message>
        <source>这项测试已在本机，是第 %1 号记录，未再复制。</source>
        <translation>This test is on this PC already, as record %1; it was not copied again.</translation>
    </message>
    <message>
        <source>服务器的数据库结构来自更新版本的程序：只能浏览，不能修改。</source>
        <translation>The server&apos;s database comes from a newer version of the program: browsing only, no changes.</translation>
    </message>
    <message>
        <source>不是你的测试：这项测试由 %1 发送，只有发送者可以修改它的测试信息。</source>
        <translation>Not your test: %1 sent it, and only the sender may change its test information.</translation>
    </message>
    <message>
        <source>正在把测试信息发送到服务器…</source>
        <translation>Sending the test information to the server…</translation>
    </message>
    <message>
        <source>服务器上的测试信息已修改</source>
        <translation>The test information on the server was changed</translation>
    </message>
    <message>
        <source>服务器上这项测试已有更新的修改，这次的修改未保存。</source>
        <translation>The server holds a newer edit of this test; this edit was not kept.</translation>
    </message>
    <message>
        <source>测试信息未能存入服务器：
%1</source>
        <translation>The test information could not be stored on the server:
%1</translation>
    </message>
    <message>
        <source>%1 条</source>
        <translation>%1 tests</translation>
        <source>保存的列表 (*.txt) (*.txt)</source>
        <translation>Saved lists (*.txt) (*.txt)</translation>
    </message>
</context>
<context>
    <name>velantis::ListImportDialog</name>
    <message>
        <source>导入列表</source>
        <translation>Import List</translation>
    </message>
    <message>
        <source>%1 是保存的列表。列表中没有额定变比，请给出额定变比，各组相同时只给一个 (200/5)，否则按组号范围给出 (1-9:200/5,10-15:150/1)。</source>
        <translation>%1 is a saved list. A list does not hold the rated ratio: give it, once when every group has the same (200/5), else per range of groups (1-9:200/5,10-15:150/1).</translation>
    </message>
    <message>
        <source>额定变比:</source>
        <translation>Rated ratio:</translation>
    </message>
    <message>
        <source>测试时间:</source>
        <translation>Test time:</translation>
    </message>
    <message>
        <source>导入</source>
        <translation>Import</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>额定变比: %1</source>
        <translation>Rated ratio: %1</translation>
    </message>
    <message>
        <source>第 %1 行: %2
列表未导入，没有任何数据存入记录。</source>
        <translation>Line %1: %2
The list was not imported; nothing of it was kept.</translation>
    </message>
</context>
<context>
    <name>velantis::ListPrinting</name>
    <message>
        <source>打印机无法开始打印。</source>
        <translation>The printer could not start printing.</translation>
    </message>
    <message>
        <source>第 %1 页 / 共 %2 页</source>
        <translation>Page %1 of %2</translation>
    </message>
</context>
<context>
    <name>velantis::ListView</name>
    <message>
        <source>复制</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>全选</source>
        <translation>Select All</translation>
    </message>
</context>
<context>
    <name>velantis::MainWindow</name>
    <message>
        <source>未找到仪器 (没有可用的串口)</source>
        <translation>No instrument found (no serial port available)</translation>
    </message>
    <message>
        <source>未找到仪器 (已查找 %1)</source>
        <translation>No instrument found (tried %1)</translation>
    </message>
    <message>
        <source>：请检查电缆和仪器电源</source>
        <translation>: check the cable and the instrument&apos;s power</translation>
    </message>
    <message>
        <source>；%1 无权打开，请把用户加入 dialout 组 (sudo usermod -aG dialout $USER) 后重新登录</source>
        <translation>; %1 may not be opened: add the user to the dialout group (sudo usermod -aG dialout $USER) and log in again</translation>
    </message>
    <message>
        <source>；无仪器时可用 --demo 试用。</source>
        <translation>; without an instrument, try the program with --demo.</translation>
    </message>
    <message>
        <source>打开</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>读取</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>打印</source>
        <translation>Print</translation>
    </message>
    <message>
        <source>清除</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>其它</source>
        <translation>Other</translation>
    </message>
    <message>
        <source>高压端电压低</source>
        <translation>HV volt. low</translation>
    </message>
    <message>
        <source>低压端电压低</source>
        <translation>LV volt. low</translation>
    </message>
    <message>
        <source>通信</source>
        <translation>Link</translation>
    </message>
    <message>
        <source>操作</source>
        <translation>Actions</translation>
    </message>
    <message>
        <source>打  开</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>读  取</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>保  存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>删除数据</source>
        <translation>Clear Data</translation>
    </message>
    <message>
        <source>打  印</source>
        <translation>Print</translation>
    </message>
    <message>
        <source>退  出</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>状态信息</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>导出 CSV</source>
        <translation>Export CSV</translation>
    </message>
    <message>
        <source>测试信息</source>
        <translation>Test Information</translation>
    </message>
    <message>
        <source>历史记录</source>
        <translation>Test Records</translation>
    </message>
    <message>
        <source>数据清除</source>
        <translation>Clear Data</translation>
    </message>
    <message>
        <source>打印预览</source>
        <translation>Print Preview</translation>
    </message>
    <message>
        <source>导出 PDF</source>
        <translation>Export PDF</translation>
    </message>
    <message>
        <source>打印报告</source>
        <translation>Print Report</translation>
    </message>
    <message>
        <source>报告预览</source>
        <translation>Report Preview</translation>
    </message>
    <message>
        <source>导出报告</source>
        <translation>Export Report</translation>
    </message>
    <message>
        <source>趋势图</source>
        <translation>Trend Chart</translation>
    </message>
    <message>
        <source>记录</source>
        <translation>Record</translation>
    </message>
    <message>
        <source>记录…</source>
        <translation>Record…</translation>
    </message>
    <message>
        <source>语言</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>界面语言将在下次启动程序时更改。</source>
        <translation>The interface language changes the next time the program starts.</translation>
    </message>
    <message>
        <source>记录中：%1 行 → %2</source>
        <translation>Recording: %1 rows → %2</translation>
    </message>
    <message>
        <source>立即同步</source>
        <translation>Sync Now</translation>
    </message>
    <message>
        <source>  待同步 %1</source>
        <translation>  %1 to sync</translation>
    </message>
    <message>
        <source>；</source>
        <translation>; </translation>
    </message>
    <message>
        <source>已存档 第 %1 号</source>
        <translation>Archived as test no. %1</translation>
    </message>
    <message>
        <source>记录数据库</source>
        <translation>Record Database</translation>
    </message>
    <message>
        <source>记录数据库由更新版本的程序写入，只能查看，新的测试不再存档：
%1</source>
        <translation>A newer version of the program wrote the record database; it can only be viewed and new tests are not archived:
%1</translation>
    </message>
    <message>
        <source>记录数据库无法读取，已改名保存为：
%1
并新建了：
%2</source>
        <translation>The record database could not be read; it was renamed to:
%1
and a new one was made:
%2</translation>
    </message>
    <message>
        <source>存档</source>
        <translation>Archive</translation>
    </message>
    <message>
        <source>本次运行不保存测试记录 (--no-archive)。</source>
        <translation>This run keeps no test records (--no-archive).</translation>
    </message>
    <message>
        <source>记录 第 %1 号 %2 %3</source>
        <translation>Test no. %1 %2 %3</translation>
    </message>
    <message>
        <source>（组 %1–%2，下载的 %3 项测试之一）</source>
        <translation> (groups %1–%2, one of the %3 tests of its download)</translation>
    </message>
    <message>
        <source>第 %1 号记录：组 %2–%3（这次下载的 %4 项测试之一）</source>
        <translation>Test no. %1: groups %2–%3 (one of the %4 tests of this download)</translation>
    </message>
    <message>
        <source>第 %1 号记录：组 %2–%3，额定变比 %4 %5</source>
        <translation>Test no. %1: groups %2–%3, rated ratio %4 %5</translation>
    </message>
    <message>
        <source>全部 %1 项测试，依次写入，各有报告编号和页码</source>
        <translation>All %1 tests, one after the other, each with its own report number and page count</translation>
    </message>
    <message>
        <source>这次下载已拆分为 %1 项测试。报告写哪一项？</source>
        <translation>This download was split into %1 tests. Which one should the report be of?</translation>
    </message>
    <message>
        <source>停止记录</source>
        <translation>Stop Recording</translation>
    </message>
    <message>
        <source>这次读取的数据未能存入记录数据库，列表中的数据不受影响，可以照常保存。
</source>
        <translation>This download could not be stored in the record database; the list is not affected and can be saved as usual.
</translation>
    </message>
    <message>
        <source>第 %1 号记录已不在记录数据库中</source>
        <translation>Test no. %1 is no longer in the record database</translation>
    </message>
    <message>
        <source>列表显示的是打开的文件 %1，其中没有测试数据组，无法生成报告或 CSV。
请先读取数据，或从历史记录打开一次测试。</source>
        <translation>The list shows the opened file %1, which holds no groups of a test: no report or CSV can be made from it.
Read the groups first, or open a test from the history.</translation>
    </message>
    <message>
        <source>已导出 %1</source>
        <translation>Exported %1</translation>
    </message>
    <message>
        <source>测试信息未能存入第 %1 号记录。
</source>
        <translation>The test information could not be stored in test no. %1.
</translation>
    </message>
    <message>
        <source>报告预览 - 电流互感器变比试验报告</source>
        <translation>Report Preview - Current Transformer Ratio Test Report</translation>
    </message>
    <message>
        <source>记录已停止：%1 行 → %2</source>
        <translation>Recording stopped: %1 rows → %2</translation>
    </message>
    <message>
        <source>报告</source>
        <translation>Report</translation>
    </message>
    <message>
        <source>已导入 第 %1 号记录</source>
        <translation>Imported as record %1</translation>
    </message>
    <message>
        <source>误差曲线</source>
        <translation>Error Curve</translation>
    </message>
    <message>
        <source>拆分测试</source>
        <translation>Split Test</translation>
    </message>
    <message>
        <source>只能拆分已存入记录数据库的测试：请先读取数据，或从历史记录打开一次测试。</source>
        <translation>Only a test kept in the record database can be split: read the groups first, or open a test from the history.</translation>
    </message>
    <message>
        <source>服务器</source>
        <translation>Server</translation>
    </message>
    <message>
        <source>服务器…</source>
        <translation>Server…</translation>
    </message>
    <message>
        <source>已复制到本机 第 %1 号记录</source>
        <translation>Copied to this PC as record %1</translation>
    </message>
    <message>
        <source>服务器上的测试 %1 %2</source>
        <translation>Test on the server %1 %2</translation>
    </message>
    <message>
        <source>请从 历史记录 → 服务器 再打开这项测试。</source>
        <translation>Open this test again from Test Records → Server.</translation>
    </message>
</context>
<context>
    <name>velantis::PrintRangeDialog</name>
    <message>
        <source>打印选项</source>
        <translation>Print Options</translation>
    </message>
    <message>
        <source>打印:</source>
        <translation>Print:</translation>
    </message>
    <message>
        <source>组</source>
        <translation>grp.</translation>
    </message>
    <message>
        <source>全部</source>
        <translation>All</translation>
    </message>
    <message>
        <source>确  定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取  消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>请输入 -32768 到 32767 之间的组号。</source>
        <translation>Enter group numbers from -32768 to 32767.</translation>
    </message>
</context>
<context>
    <name>velantis::Program</name>
    <message>
        <source>用法: velantis [选项]
三通道无线高压变比测试仪的监视程序。它自己查找仪器所在的串口 (端口 1 到 16)。

  --port N=DEVICE    端口 N 是设备 DEVICE (可重复), 例如 3=/dev/ttyUSB0
  --demo             用程序内的模拟仪器运行, 作为端口 3
  --demo-groups N    模拟仪器存有的组数 (默认 200)
  --no-splash        直接打开主窗口, 不显示启动画面
  --records PATH     每次读取的数据存入记录数据库 PATH
                     (默认: 用户数据文件夹中的 velantis/records.sqlite)
  --no-archive       本次运行不保存测试记录
  --server CONNINFO  存档的测试同步到部门服务器 (libpq 连接字符串, 记住供下次使用)
  --lang zh|en       界面语言: 中文或英文 (默认: 菜单中选定的语言, 否则按系统区域设置)
  --version          显示版本
  --help             显示本帮助
</source>
        <translation>Usage: velantis [options]
The monitor of the three-channel wireless high-voltage ratio tester. It finds the
instrument&apos;s serial port by itself (ports 1 to 16).

  --port N=DEVICE    port N is DEVICE (repeatable), e.g. 3=/dev/ttyUSB0
  --demo             run against a simulated instrument inside the program, as port 3
  --demo-groups N    stored groups the simulated instrument holds (default 200)
  --no-splash        start with the main window instead of the splash
  --records PATH     keep every download in the record database PATH
                     (default: velantis/records.sqlite in the user&apos;s data folder)
  --no-archive       keep no test records in this run
  --server CONNINFO  send the archived tests to the department&apos;s server (a libpq connection string, remembered for the next start)
  --lang zh|en       interface language: Chinese or English (default: the one chosen
                     in the menu, else the system&apos;s locale)
  --version          print the version
  --help             show this help
</translation>
    </message>
</context>
<context>
    <name>velantis::ServerDialog</name>
    <message>
        <source>无法建立文件夹 %1</source>
        <translation>could not make the folder %1</translation>
    </message>
    <message>
        <source>服务器</source>
        <translation>Server</translation>
    </message>
    <message>
        <source>服务器地址</source>
        <translation>Server address</translation>
    </message>
    <message>
        <source>服务名 (pg_service.conf)</source>
        <translation>Service name (pg_service.conf)</translation>
    </message>
    <message>
        <source>连接字符串</source>
        <translation>Connection string</translation>
    </message>
    <message>
        <source>浏览…</source>
        <translation>Browse…</translation>
    </message>
    <message>
        <source>主机</source>
        <translation>Host</translation>
    </message>
    <message>
        <source>端口</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>数据库</source>
        <translation>Database</translation>
    </message>
    <message>
        <source>用户</source>
        <translation>User</translation>
    </message>
    <message>
        <source>SSL 模式</source>
        <translation>SSL mode</translation>
    </message>
    <message>
        <source>根证书</source>
        <translation>Root certificate</translation>
    </message>
    <message>
        <source>服务名</source>
        <translation>Service name</translation>
    </message>
    <message>
        <source>密码</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>测试连接</source>
        <translation>Test Connection</translation>
    </message>
    <message>
        <source>连接方式</source>
        <translation>Connect by</translation>
    </message>
    <message>
        <source>保存到密码文件 %1</source>
        <translation>Save in the password file %1</translation>
    </message>
    <message>
        <source>证书 (*.crt *.pem) (*.crt *.pem)</source>
        <translation>Certificates (*.crt *.pem) (*.crt *.pem)</translation>
    </message>
    <message>
        <source>所有文件 (*) (*)</source>
        <translation>All Files (*) (*)</translation>
    </message>
    <message>
        <source>服务器 %1 要求密码，密码文件 %2 中没有：请输入密码，再按 测试连接。</source>
        <translation>The server %1 asks for a password that the password file %2 does not hold: enter it, then press Test Connection.</translation>
    </message>
    <message>
        <source>读取</source>
        <translation>read</translation>
    </message>
    <message>
        <source>添加</source>
        <translation>add</translation>
    </message>
    <message>
        <source>修改</source>
        <translation>change</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>delete</translation>
    </message>
    <message>
        <source>已连接 %1
PostgreSQL %2，数据库结构版本 %3
用户 %4，权限：%5</source>
        <translation>Connected to %1
PostgreSQL %2, database schema version %3
User %4, rights: %5</translation>
    </message>
    <message>
        <source>无</source>
        <translation>none</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>服务器的数据库结构来自更新版本的程序：只能浏览，不能发送或修改。</source>
        <translation>The server&apos;s database comes from a newer version of the program: browsing only, no sending or changes.</translation>
    </message>
    <message>
        <source>无法连接 %1：
%2</source>
        <translation>Could not connect to %1:
%2</translation>
    </message>
    <message>
        <source>正在连接…</source>
        <translation>Connecting…</translation>
    </message>
    <message>
        <source>密码未能写入 %1，文件未作改动：
%2</source>
        <translation>The password could not be written to %1; the file is unchanged:
%2</translation>
    </message>
</context>
<context>
    <name>velantis::ServerTestModel</name>
    <message>
        <source>日期时间</source>
        <translation>Date and time</translation>
    </message>
    <message>
        <source>站名</source>
        <translation>Station</translation>
    </message>
    <message>
        <source>设备</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>编号</source>
        <translation>Serial no.</translation>
    </message>
    <message>
        <source>组数</source>
        <translation>Groups</translation>
    </message>
    <message>
        <source>准确级</source>
        <translation>Accuracy class</translation>
    </message>
    <message>
        <source>合格</source>
        <translation>Pass</translation>
    </message>
    <message>
        <source>超差</source>
        <translation>Fail</translation>
    </message>
    <message>
        <source>来源 (电脑、用户)</source>
        <translation>Origin (PC, user)</translation>
    </message>
    <message>
        <source>发送者</source>
        <translation>Sent by</translation>
    </message>
</context>
<context>
    <name>velantis::SplitDialog</name>
    <message>
        <source>拆分测试</source>
        <translation>Split Test</translation>
    </message>
    <message>
        <source>组</source>
        <translation>Group</translation>
    </message>
    <message>
        <source>组数</source>
        <translation>Groups</translation>
    </message>
    <message>
        <source>设定</source>
        <translation>Setting</translation>
    </message>
    <message>
        <source>设备</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>编号</source>
        <translation>Serial no.</translation>
    </message>
    <message>
        <source>在此组拆分</source>
        <translation>Split at Group</translation>
    </message>
    <message>
        <source>与下一段合并</source>
        <translation>Merge with Next</translation>
    </message>
    <message>
        <source>测试信息</source>
        <translation>Test Information</translation>
    </message>
    <message>
        <source>组号：</source>
        <translation>Group:</translation>
    </message>
    <message>
        <source>每段成为一项测试。同一站名、试验人员、日期和单位填写一次即复制到各段。</source>
        <translation>Each range becomes a test of its own. The station, tester, date and organisation are filled in once and copied to every range.</translation>
    </message>
    <message>
        <source>各组设定不同</source>
        <translation>settings differ between groups</translation>
    </message>
</context>
<context>
    <name>velantis::StartFlow</name>
    <message>
        <source>网页</source>
        <translation>Web Page</translation>
    </message>
</context>
<context>
    <name>velantis::TestInfoDialog</name>
    <message>
        <source>测试信息</source>
        <translation>Test Information</translation>
    </message>
    <message>
        <source>默认: 最小组号的设定</source>
        <translation>Default: the setting of the lowest group</translation>
    </message>
    <message>
        <source>默认: %1 (最小组号的设定)</source>
        <translation>Default: %1 (the setting of the lowest group)</translation>
    </message>
    <message>
        <source>站名</source>
        <translation>Station</translation>
    </message>
    <message>
        <source>设备</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>编号</source>
        <translation>Serial no.</translation>
    </message>
    <message>
        <source>额定变比</source>
        <translation>Rated ratio</translation>
    </message>
    <message>
        <source>准确级</source>
        <translation>Accuracy class</translation>
    </message>
    <message>
        <source>试验人员</source>
        <translation>Tested by</translation>
    </message>
    <message>
        <source>审核</source>
        <translation>Reviewed by</translation>
    </message>
    <message>
        <source>试验日期</source>
        <translation>Test date</translation>
    </message>
    <message>
        <source>备注</source>
        <translation>Remarks</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>试验单位</source>
        <translation>Organisation</translation>
    </message>
    <message>
        <source>报告编号前缀</source>
        <translation>Report number prefix</translation>
    </message>
    <message>
        <source>制造厂</source>
        <translation>Manufacturer</translation>
    </message>
    <message>
        <source>型号</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>相别</source>
        <translation>Phase</translation>
    </message>
    <message>
        <source>绕组/抽头</source>
        <translation>Core / tap</translation>
    </message>
    <message>
        <source>额定二次负荷 (VA)</source>
        <translation>Rated burden (VA)</translation>
    </message>
    <message>
        <source>试验时二次负荷 (VA)</source>
        <translation>Burden during test (VA)</translation>
    </message>
    <message>
        <source>执行标准</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>环境温度 (°C)</source>
        <translation>Ambient temperature (°C)</translation>
    </message>
    <message>
        <source>相对湿度 (%)</source>
        <translation>Relative humidity (%)</translation>
    </message>
    <message>
        <source>测试仪编号</source>
        <translation>Test set serial</translation>
    </message>
    <message>
        <source>简单接受</source>
        <translation>Simple acceptance</translation>
    </message>
    <message>
        <source>保护带</source>
        <translation>Guard band</translation>
    </message>
    <message>
        <source>w (%)</source>
        <translation>w (%)</translation>
    </message>
    <message>
        <source>判定规则</source>
        <translation>Decision rule</translation>
    </message>
    <message>
        <source>未填写</source>
        <translation>Not given</translation>
    </message>
    <message>
        <source>测试仪校准有效期至</source>
        <translation>Test set calibrated until</translation>
    </message>
    <message>
        <source>选择…</source>
        <translation>Choose…</translation>
    </message>
    <message>
        <source>清除</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>标志图片</source>
        <translation>Logo</translation>
    </message>
    <message>
        <source>无</source>
        <translation>None</translation>
    </message>
    <message>
        <source>PNG 图片，%1 kB</source>
        <translation>PNG image, %1 kB</translation>
    </message>
    <message>
        <source>文件不存在</source>
        <translation>no such file</translation>
    </message>
    <message>
        <source>不是普通文件</source>
        <translation>not a regular file</translation>
    </message>
    <message>
        <source>文件大于 %1 MB</source>
        <translation>the file is larger than %1 MB</translation>
    </message>
    <message>
        <source>不是 PNG 或 JPEG 图片</source>
        <translation>not a PNG or JPEG image</translation>
    </message>
    <message>
        <source>未采用 %1：%2</source>
        <translation>%1 not taken: %2</translation>
    </message>
    <message>
        <source>图片 (*.png *.jpg *.jpeg)</source>
        <translation>Images (*.png *.jpg *.jpeg)</translation>
    </message>
    <message>
        <source>校准有效期早于试验日期：测试仪校准已过期。</source>
        <translation>The calibration ended before the test date: the test set&apos;s calibration has expired.</translation>
    </message>
    <message>
        <source>保护带需要先选择准确级。</source>
        <translation>A guard band needs an accuracy class first.</translation>
    </message>
    <message>
        <source>保护带 w 以 % 为单位，最多两位小数，大于 0。</source>
        <translation>The guard band w is in %, above 0, with at most two decimals.</translation>
    </message>
    <message>
        <source>%1 级的保护带应大于 0 且小于 %2 %。</source>
        <translation>The guard band of class %1 is above 0 and below %2 %.</translation>
    </message>
</context>
<context>
    <name>velantis::TestTableModel</name>
    <message>
        <source>记录号</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>日期时间</source>
        <translation>Date and time</translation>
    </message>
    <message>
        <source>站名</source>
        <translation>Station</translation>
    </message>
    <message>
        <source>设备</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>编号</source>
        <translation>Serial no.</translation>
    </message>
    <message>
        <source>组数</source>
        <translation>Groups</translation>
    </message>
    <message>
        <source>合格</source>
        <translation>Pass</translation>
    </message>
    <message>
        <source>超差</source>
        <translation>Fail</translation>
    </message>
    <message>
        <source>完整</source>
        <translation>complete</translation>
    </message>
    <message>
        <source>下载</source>
        <translation>Download</translation>
    </message>
    <message>
        <source>准确级</source>
        <translation>Accuracy class</translation>
    </message>
    <message>
        <source>%1 下载: %2 项测试 (第 %3-%4 组)</source>
        <translation>%1 download: %2 tests (groups %3-%4)</translation>
    </message>
    <message>
        <source>同一下载</source>
        <translation>Same Download</translation>
    </message>
</context>
<context>
    <name>velantis::TrendChart</name>
    <message>
        <source>二次电流 (A)</source>
        <translation>Secondary current (A)</translation>
    </message>
    <message>
        <source>F.Er (%，当前通道)</source>
        <translation>F.Er (%, current channel)</translation>
    </message>
    <message>
        <source>等待实时读数…</source>
        <translation>Waiting for live readings…</translation>
    </message>
</context>
<context>
    <name>velantis::TrendWindow</name>
    <message>
        <source>趋势图 - Velantis</source>
        <translation>Trend Chart - Velantis</translation>
    </message>
    <message>
        <source>保存图片</source>
        <translation>Save Picture</translation>
    </message>
</context>
<context>
    <name>velantis::WebLauncher</name>
    <message>
        <source>网页窗口无法启动: 控制通道无法建立 (%1)</source>
        <translation>The web-page window cannot start: its control channel could not be set up (%1)</translation>
    </message>
    <message>
        <source>网页窗口无法启动: 找不到程序 %1</source>
        <translation>The web-page window cannot start: program %1 not found</translation>
    </message>
    <message>
        <source>网页窗口无法启动: %1 (%2)</source>
        <translation>The web-page window cannot start: %1 (%2)</translation>
    </message>
    <message>
        <source>网页窗口在 %1 秒内没有启动 (%2)</source>
        <translation>The web-page window did not start within %1 seconds (%2)</translation>
    </message>
    <message>
        <source>网页窗口启动后即退出 (%1)</source>
        <translation>The web-page window ended as soon as it started (%1)</translation>
    </message>
</context>
</TS>
