<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
<context>
    <name>Decode</name>
    <message>
        <source>velantis-cli decode: expected 20 bytes as 40 hex digits (spaces allowed), e.g. %1</source>
        <translation>velantis-cli decode: 需要 20 字节, 即 40 个十六进制数字 (可含空格), 例如 %1</translation>
    </message>
</context>
<context>
    <name>Main</name>
    <message>
        <source>decode one captured 20-byte frame (40 hex digits) as JSON</source>
        <translation>把截获的一帧 20 字节数据 (40 个十六进制数字) 解码为 JSON</translation>
    </message>
    <message>
        <source>run a simulated instrument on a pseudo-terminal (prints its path)</source>
        <translation>在伪终端上运行模拟仪器 (输出其设备路径)</translation>
    </message>
    <message>
        <source>find the instrument and print its live readings</source>
        <translation>查找仪器并输出实时读数</translation>
    </message>
    <message>
        <source>read every stored group and write the list as Save does</source>
        <translation>读取仪器存储的全部组, 按“保存”的格式写出列表</translation>
    </message>
    <message>
        <source>e.g. %1</source>
        <translation>例如: %1</translation>
    </message>
    <message>
        <source>(live and download --demo: the simulated instrument inside the tool)
each download is kept in the record database (--records PATH,
--no-archive)</source>
        <translation>(live 和 download 加 --demo: 使用本工具内置的模拟仪器)
每次下载都保存在记录数据库中 (--records PATH, --no-archive)</translation>
    </message>
    <message>
        <source>this text;  COMMAND --help: the command&apos;s options</source>
        <translation>显示本帮助;  命令 --help: 显示该命令的选项</translation>
    </message>
    <message>
        <source>the program&apos;s version</source>
        <translation>显示程序版本</translation>
    </message>
    <message>
        <source>the language of messages and help (otherwise the locale&apos;s: Chinese
where its language is Chinese, English elsewhere)</source>
        <translation>消息和帮助的语言 (未给出时按区域设置: 其语言为中文时用中文,
否则用英文)</translation>
    </message>
    <message>
        <source>usage: velantis-cli COMMAND [OPTIONS]</source>
        <translation>用法: velantis-cli 命令 [选项]</translation>
    </message>
    <message>
        <source>Commands:</source>
        <translation>命令:</translation>
    </message>
    <message>
        <source>--port N=DEVICE names the devices to search (ports 1 to 16); without it the system&apos;s
serial devices are numbered from 1.</source>
        <translation>--port N=DEVICE 指定要查找的设备 (端口 1 到 16); 未给出时, 系统的串口设备
从 1 开始依次编号。</translation>
    </message>
    <message>
        <source>velantis-cli: unknown command &apos;%1&apos;</source>
        <translation>velantis-cli: 未知命令 &apos;%1&apos;</translation>
    </message>
    <message>
        <source>the tests kept: list [--filter TEXT], show N, export N --csv,
export N --json, export N --report FILE, delete N,
import FILE..., split N, merge N M..., sync;
list, show and export with --remote: the department&apos;s server</source>
        <translation>已保存的测试记录: list [--filter TEXT], show N, export N --csv,
export N --json, export N --report FILE, delete N,
import FILE..., split N, merge N M..., sync;
list、show 和 export 加 --remote: 部门服务器上的测试</translation>
    </message>
    <message>
        <source>print the SQL that sets up the department&apos;s server database</source>
        <translation>打印建立部门服务器数据库的 SQL</translation>
    </message>
</context>
<context>
    <name>Records</name>
    <message>
        <source>velantis-cli records: cannot write standard output: %1</source>
        <translation>velantis-cli records: 无法写入标准输出: %1</translation>
    </message>
    <message>
        <source>write error</source>
        <translation>写入错误</translation>
    </message>
    <message>
        <source>archived as test %1 in %2</source>
        <translation>已存档为第 %1 号测试, 位于 %2</translation>
    </message>
    <message>
        <source>velantis-cli download: the test was not archived in %1: %2</source>
        <translation>velantis-cli download: 测试未能存档到 %1: %2</translation>
    </message>
    <message>
        <source>The record database (default %1).</source>
        <translation>记录数据库 (默认 %1)。</translation>
    </message>
    <message>
        <source>list: only tests whose station, equipment, serial or remarks hold TEXT.</source>
        <translation>list: 只列出站名、设备、编号或备注中含有 TEXT 的测试。</translation>
    </message>
    <message>
        <source>export: the groups as CSV.</source>
        <translation>export: 以 CSV 格式导出各组数据。</translation>
    </message>
    <message>
        <source>export: write the test report as a PDF file.</source>
        <translation>export: 把试验报告写成 PDF 文件。</translation>
    </message>
    <message>
        <source>test %1 deleted</source>
        <translation>已删除第 %1 号测试</translation>
    </message>
    <message>
        <source>velantis-cli %1: cannot write %2: %3</source>
        <translation>velantis-cli %1: 无法写入 %2: %3</translation>
    </message>
    <message>
        <source>velantis-cli %1: cannot write the report %2: %3</source>
        <translation>velantis-cli %1: 无法写入报告 %2: %3</translation>
    </message>
    <message>
        <source>no pages drawn</source>
        <translation>没有绘出任何页面</translation>
    </message>
    <message>
        <source>velantis-cli %1: takes no option %2</source>
        <translation>velantis-cli %1: 不接受选项 %2</translation>
    </message>
    <message>
        <source>%1: imported as test %2 in %3</source>
        <translation>%1: 已导入为 %3 中的第 %2 号测试</translation>
    </message>
    <message>
        <source>%1: the same test is kept already as test %2; skipped</source>
        <translation>%1: 同一测试已存为第 %2 号测试, 已跳过</translation>
    </message>
    <message>
        <source>velantis-cli records import: cannot read %1: %2</source>
        <translation>velantis-cli records import: 无法读取 %1: %2</translation>
    </message>
    <message>
        <source>velantis-cli records import: %1: not a test file (JSON)</source>
        <translation>velantis-cli records import: %1: 不是测试数据文件 (JSON)</translation>
    </message>
    <message>
        <source>velantis-cli records import: %1 was not imported into %2: %3</source>
        <translation>velantis-cli records import: %1 未能导入 %2: %3</translation>
    </message>
    <message>
        <source>export: the whole test as JSON (for import).</source>
        <translation>export: 以 JSON 输出整个测试 (可再导入)。</translation>
    </message>
    <message>
        <source>export --csv, --json: write to FILE instead of standard output.</source>
        <translation>export --csv, --json: 写入 FILE, 而不是标准输出。</translation>
    </message>
    <message>
        <source>velantis-cli records: give list, show N, export N, delete N or import FILE...</source>
        <translation>velantis-cli records: 请给出 list、show N、export N、delete N 或 import FILE...</translation>
    </message>
    <message>
        <source>velantis-cli records export: give --csv, --json or --report FILE</source>
        <translation>velantis-cli records export: 请给出 --csv、--json 或 --report FILE</translation>
    </message>
    <message>
        <source>velantis-cli records export: -o FILE goes with --csv or --json</source>
        <translation>velantis-cli records export: -o FILE 只能与 --csv 或 --json 一起使用</translation>
    </message>
    <message>
        <source>export: write the error curve (F.Er against the load) as a PNG file.</source>
        <translation>export: 将误差曲线 (F.Er 随负荷) 写成 PNG 文件。</translation>
    </message>
    <message>
        <source>velantis-cli %1: cannot write the error curve %2: %3</source>
        <translation>velantis-cli %1: 无法写入误差曲线 %2: %3</translation>
    </message>
    <message>
        <source>test %1 holds groups of one setting: not split</source>
        <translation>第 %1 号记录的各组设定相同：未拆分</translation>
    </message>
    <message>
        <source>test %1 split into tests %2</source>
        <translation>第 %1 号记录已拆分为第 %2 号记录</translation>
    </message>
    <message>
        <source>split: a test for each run of groups of one setting.</source>
        <translation>split：每段设定相同的连续组各成一项测试。</translation>
    </message>
    <message>
        <source>velantis-cli records split: give --at G[,G...] or --by-setting</source>
        <translation>velantis-cli records split：请给出 --at G[,G...] 或 --by-setting</translation>
    </message>
    <message>
        <source>tests %1 merged into test %2</source>
        <translation>第 %1 号记录已合并为第 %2 号记录</translation>
    </message>
    <message>
        <source>split: the groups each starting a test of its own, by commas. import: when a saved list&apos;s test was made (ISO 8601, 2026-12-09T14:35:00; default: the file&apos;s modification time).</source>
        <translation>split：各自开始一项测试的组号，以逗号分隔。import：保存的列表所对应测试的时间（ISO 8601，如 2026-12-09T14:35:00；默认为文件的修改时间）。</translation>
    </message>
    <message>
        <source>import of a saved list: the rated ratio of its groups (200/5), or one per range of groups (1-9:200/5,10-15:150/1).</source>
        <translation>导入保存的列表：各组的额定变比（200/5），或按组号范围分别给出（1-9:200/5,10-15:150/1）。</translation>
    </message>
    <message>
        <source>velantis-cli records import: --at takes a time in ISO 8601 such as 2026-12-09T14:35:00, not &quot;%1&quot;</source>
        <translation>velantis-cli records import: --at 需要 ISO 8601 格式的时间，如 2026-12-09T14:35:00，而不是 &quot;%1&quot;</translation>
    </message>
    <message>
        <source>velantis-cli records import: --rated: %1</source>
        <translation>velantis-cli records import: --rated: %1</translation>
    </message>
    <message>
        <source>velantis-cli records import: %1: a saved list, which does not hold the rated ratio: give it with --rated R (200/5, or 1-9:200/5,10-15:150/1)</source>
        <translation>velantis-cli records import: %1: 保存的列表，其中没有额定变比：请用 --rated R 给出（200/5，或 1-9:200/5,10-15:150/1）</translation>
    </message>
    <message>
        <source>%1: imported as test %2 in %3 (a saved list of %4 groups)</source>
        <translation>%1: 已导入为 %3 中的第 %2 号记录（保存的列表，%4 组）</translation>
    </message>
    <message>
        <source>velantis-cli records import: %1: line %2: %3; nothing of the file was kept</source>
        <translation>velantis-cli records import: %1: 第 %2 行: %3；文件中没有任何数据存入记录</translation>
    </message>
</context>
<context>
    <name>Remote</name>
    <message>
        <source>velantis-cli %1: cannot write standard output: %2</source>
        <translation>velantis-cli %1: 无法写入标准输出: %2</translation>
    </message>
    <message>
        <source>write error</source>
        <translation>写入错误</translation>
    </message>
    <message>
        <source>The department&apos;s server as a libpq connection string (default: the one chosen in the program).</source>
        <translation>部门服务器, 以 libpq 连接字符串给出 (默认: 程序中选定的服务器)。</translation>
    </message>
    <message>
        <source>velantis-cli %1: no server: give --server CONNINFO (e.g. &quot;host=db dbname=velantis user=zhang sslmode=verify-full&quot;) or choose one in the program (File → Server…)</source>
        <translation>velantis-cli %1: 没有服务器: 请给出 --server CONNINFO (例如 &quot;host=db dbname=velantis user=zhang sslmode=verify-full&quot;), 或在程序中选定 (文件 → 服务器…)</translation>
    </message>
    <message>
        <source>velantis-cli server: give schema (prints server.sql for the server&apos;s administrator)</source>
        <translation>velantis-cli server: 请给出 schema (为服务器管理员输出 server.sql)</translation>
    </message>
    <message>
        <source>velantis-cli server schema: server.sql is missing from this build</source>
        <translation>velantis-cli server schema: 本版本中缺少 server.sql</translation>
    </message>
    <message>
        <source>The tests on the department&apos;s server rather than those kept here.</source>
        <translation>使用部门服务器上的测试, 而不是本机保存的测试。</translation>
    </message>
    <message>
        <source>list: only tests whose station, equipment, serial or remarks hold TEXT (from three characters on anywhere in them, below at their start).</source>
        <translation>list: 只列出变电站、设备、编号或备注中含有 TEXT 的测试 (三个字符起匹配任意位置, 不足三个字符匹配开头)。</translation>
    </message>
    <message>
        <source>export: the groups as CSV.</source>
        <translation>export: 以 CSV 格式导出各组数据。</translation>
    </message>
    <message>
        <source>export: the whole test as JSON.</source>
        <translation>export: 以 JSON 格式导出整个测试。</translation>
    </message>
    <message>
        <source>export --csv, --json: write to FILE instead of standard output.</source>
        <translation>export --csv, --json: 写入 FILE, 而不是标准输出。</translation>
    </message>
    <message>
        <source>export: write the test report as a PDF file.</source>
        <translation>export: 把试验报告写成 PDF 文件。</translation>
    </message>
    <message>
        <source>export: write the error curve as a PNG file.</source>
        <translation>export: 把误差曲线写成 PNG 文件。</translation>
    </message>
    <message>
        <source>velantis-cli records: with --remote give list, show UUID or export UUID</source>
        <translation>velantis-cli records: 与 --remote 一起请给出 list、show UUID 或 export UUID</translation>
    </message>
    <message>
        <source>velantis-cli %1: an option that goes with another command (see velantis-cli records --help)</source>
        <translation>velantis-cli %1: 该选项属于另一个命令 (见 velantis-cli records --help)</translation>
    </message>
    <message>
        <source>velantis-cli records export: give --csv, --json or --report FILE</source>
        <translation>velantis-cli records export: 请给出 --csv、--json 或 --report FILE</translation>
    </message>
    <message>
        <source>velantis-cli records export: -o FILE goes with --csv or --json</source>
        <translation>velantis-cli records export: -o FILE 只能与 --csv 或 --json 一起使用</translation>
    </message>
</context>
<context>
    <name>Session</name>
    <message>
        <source>write error</source>
        <translation>写入错误</translation>
    </message>
    <message>
        <source>velantis-cli %1: cannot write standard output: %2</source>
        <translation>velantis-cli %1: 无法写入标准输出: %2</translation>
    </message>
    <message>
        <source>No serial port was found to search. </source>
        <translation>没有找到可供查找的串口。</translation>
    </message>
    <message>
        <source>Ports tried: %1. </source>
        <translation>已尝试的端口: %1。</translation>
    </message>
    <message>
        <source>Check the cable and that the instrument is switched on.</source>
        <translation>请检查连接线, 并确认仪器已开机。</translation>
    </message>
    <message>
        <source> No permission to open %1: add the user to the dialout group (sudo usermod -aG dialout $USER) and log in again.</source>
        <translation>无权打开 %1: 请把用户加入 dialout 组 (sudo usermod -aG dialout $USER), 然后重新登录。</translation>
    </message>
    <message>
        <source> To try the program without an instrument, use --demo.</source>
        <translation>没有仪器时, 可用 --demo 试用本程序。</translation>
    </message>
    <message>
        <source>ports: %1</source>
        <translation>端口: %1</translation>
    </message>
    <message>
        <source>none</source>
        <translation>无</translation>
    </message>
    <message>
        <source>Port N is DEVICE (repeatable), e.g. 3=/dev/ttyUSB0.</source>
        <translation>端口 N 对应设备 DEVICE (可重复给出), 例如 3=/dev/ttyUSB0。</translation>
    </message>
    <message>
        <source>Seconds to wait for the instrument (default 10).</source>
        <translation>等待仪器应答的秒数 (默认 10)。</translation>
    </message>
    <message>
        <source>Use the simulated instrument inside the program (port 3).</source>
        <translation>使用程序内置的模拟仪器 (端口 3)。</translation>
    </message>
    <message>
        <source>Stored groups of the simulated instrument (default 200).</source>
        <translation>模拟仪器存储的组数 (默认 200)。</translation>
    </message>
    <message>
        <source>velantis-cli %1: unexpected argument &apos;%2&apos;</source>
        <translation>velantis-cli %1: 多余的参数 &apos;%2&apos;</translation>
    </message>
    <message>
        <source>velantis-cli %1: --demo-groups takes a whole number from 0 to %2</source>
        <translation>velantis-cli %1: --demo-groups 的值应为 0 到 %2 的整数</translation>
    </message>
    <message>
        <source>velantis-cli %1: --demo takes no --port</source>
        <translation>velantis-cli %1: --demo 不能与 --port 同时使用</translation>
    </message>
    <message>
        <source>velantis-cli %1: --timeout takes a number of seconds above 0 and at most %2, not &apos;%3&apos;</source>
        <translation>velantis-cli %1: --timeout 的值应为大于 0 且不超过 %2 的秒数, 而不是 &apos;%3&apos;</translation>
    </message>
    <message>
        <source>Stop after N readings.</source>
        <translation>读到 N 个读数后停止。</translation>
    </message>
    <message>
        <source>One CSV row per reading (UTF-8): time, currents in A, F.Er in %, channel, rating and flags, as the window records.</source>
        <translation>每个读数输出一行 CSV (UTF-8): 时间、电流 (A)、比差 F.Er (%)、通道、额定值和标志, 与窗口的记录相同。</translation>
    </message>
    <message>
        <source>With --csv: write to FILE instead of standard output.</source>
        <translation>与 --csv 同用: 写入 FILE, 而不是标准输出。</translation>
    </message>
    <message>
        <source>velantis-cli live: --count takes a whole number above 0</source>
        <translation>velantis-cli live: --count 的值应为大于 0 的整数</translation>
    </message>
    <message>
        <source>velantis-cli live: -o FILE goes with --csv</source>
        <translation>velantis-cli live: -o FILE 须与 --csv 同用</translation>
    </message>
    <message>
        <source>velantis-cli live: cannot write %1: %2</source>
        <translation>velantis-cli live: 无法写入 %1: %2</translation>
    </message>
    <message>
        <source>velantis-cli live: cannot write %1 after %2 rows: %3</source>
        <translation>velantis-cli live: 写入 %2 行后无法继续写入 %1: %3</translation>
    </message>
    <message>
        <source>the file or its folder was removed or moved</source>
        <translation>文件或其所在的文件夹已被删除或移走</translation>
    </message>
    <message>
        <source>velantis-cli live: no instrument answered within %1 s</source>
        <translation>velantis-cli live: %1 s 内没有仪器应答</translation>
    </message>
    <message>
        <source>--class takes 0.1, 0.2, 0.5, 1, 0.2S, 0.5S, 3 or 5, not &apos;%1&apos;</source>
        <translation>--class 的值应为 0.1、0.2、0.5、1、0.2S、0.5S、3 或 5, 而不是 &apos;%1&apos;</translation>
    </message>
    <message>
        <source>--info takes KEY=VALUE, not &apos;%1&apos;</source>
        <translation>--info 的值应为 KEY=VALUE, 而不是 &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Write to FILE instead of standard output.</source>
        <translation>写入 FILE, 而不是标准输出。</translation>
    </message>
    <message>
        <source>Write the stored groups as CSV (UTF-8) instead of the list.</source>
        <translation>以 CSV (UTF-8) 格式写出存储的各组, 而不是列表。</translation>
    </message>
    <message>
        <source>Judge each group against accuracy class CLASS (0.1, 0.2, 0.5, 1, 0.2S, 0.5S, 3, 5): verdict columns in the CSV, verdicts in the report.</source>
        <translation>按准确级 CLASS (0.1、0.2、0.5、1、0.2S、0.5S、3、5) 判定各组: CSV 中加入结论列, 报告中给出结论。</translation>
    </message>
    <message>
        <source>Also write the test report as a PDF file.</source>
        <translation>同时把试验报告写成 PDF 文件。</translation>
    </message>
    <message>
        <source>Keep the test in the record database PATH (default %1).</source>
        <translation>把测试保存到记录数据库 PATH (默认 %1)。</translation>
    </message>
    <message>
        <source>Keep no test record of this download.</source>
        <translation>不保存本次下载的测试记录。</translation>
    </message>
    <message>
        <source>instrument found on port %1 (%2); reading stored groups</source>
        <translation>在端口 %1 (%2) 上找到仪器; 正在读取存储的组</translation>
    </message>
    <message>
        <source>%1% (%2 of %3 groups)</source>
        <translation>%1% (已读 %2 组, 共 %3 组)</translation>
    </message>
    <message>
        <source>the instrument reports no stored groups</source>
        <translation>仪器报告没有存储的组</translation>
    </message>
    <message>
        <source>velantis-cli download: cannot write %1: %2</source>
        <translation>velantis-cli download: 无法写入 %1: %2</translation>
    </message>
    <message>
        <source>velantis-cli download: cannot write the report %1: %2</source>
        <translation>velantis-cli download: 无法写入报告 %1: %2</translation>
    </message>
    <message>
        <source>no pages drawn</source>
        <translation>没有绘出任何页面</translation>
    </message>
    <message>
        <source>velantis-cli download: no instrument answered within %1 s</source>
        <translation>velantis-cli download: %1 s 内没有仪器应答</translation>
    </message>
    <message>
        <source>no such file</source>
        <translation>文件不存在</translation>
    </message>
    <message>
        <source>not a file</source>
        <translation>不是普通文件</translation>
    </message>
    <message>
        <source>larger than %1 MB</source>
        <translation>大于 %1 MB</translation>
    </message>
    <message>
        <source>not a PNG or JPEG image</source>
        <translation>不是 PNG 或 JPEG 图片</translation>
    </message>
    <message>
        <source>--guard takes a per cent of ratio error with at most two decimals, not &apos;%1&apos;</source>
        <translation>--guard 的值应为最多两位小数的比差百分数, 而不是 &apos;%1&apos;</translation>
    </message>
    <message>
        <source>--info %1 takes a date as yyyy-MM-dd, not &apos;%2&apos;</source>
        <translation>--info %1 的值应为 yyyy-MM-dd 格式的日期, 而不是 &apos;%2&apos;</translation>
    </message>
    <message>
        <source>--info logo: %1: %2</source>
        <translation>--info logo: %1: %2</translation>
    </message>
    <message>
        <source>--info has no key &apos;%1&apos; (%2)</source>
        <translation>--info 没有键 &apos;%1&apos; (可用的键: %2)</translation>
    </message>
    <message>
        <source>Decide with a guard band of W % of ratio error (above 0 and below the class&apos;s smallest limit): a group passes when |F.Er| is at most the limit less W.</source>
        <translation>按保护带 W (比差的 %, 大于 0 且小于该准确级的最小限值) 判定: |F.Er| 不超过限值减 W 时合格。</translation>
    </message>
    <message>
        <source>Test information for the report (repeatable): %1 (dates as yyyy-MM-dd, logo: a PNG or JPEG file).</source>
        <translation>报告中的试验信息 (可重复给出): %1 (日期为 yyyy-MM-dd, logo 为 PNG 或 JPEG 文件)。</translation>
    </message>
    <message>
        <source>Also write the error curve (F.Er against the load) as a PNG file.</source>
        <translation>同时将误差曲线 (F.Er 随负荷) 写成 PNG 文件。</translation>
    </message>
    <message>
        <source>velantis-cli download: cannot write the error curve %1: %2</source>
        <translation>velantis-cli download: 无法写入误差曲线 %1: %2</translation>
    </message>
    <message>
        <source>Keep a test for each run of groups of one setting.</source>
        <translation>每段设定相同的连续组各存为一项测试。</translation>
    </message>
    <message>
        <source>After archiving, send the test to the department&apos;s server CONNINFO (a libpq connection string).</source>
        <translation>存档后将测试发送到部门服务器 CONNINFO (libpq 连接字符串)。</translation>
    </message>
    <message>
        <source>velantis-cli download: --split-by-setting keeps its tests in the record database: not with --no-archive</source>
        <translation>velantis-cli download：--split-by-setting 需将测试存入记录数据库，不能与 --no-archive 同用</translation>
    </message>
</context>
<context>
    <name>Simulate</name>
    <message>
        <source>stored groups it holds (default 200, at most 29999)</source>
        <translation>存储的组数 (默认 200, 最多 29999)</translation>
    </message>
    <message>
        <source>answer at once instead of at 38400-baud line speed</source>
        <translation>立即应答, 不按 38400 波特的线路速度</translation>
    </message>
    <message>
        <source>leave out every K-th answer</source>
        <translation>丢掉每第 K 个应答</translation>
    </message>
    <message>
        <source>send every K-th answer with a wrong checksum</source>
        <translation>每第 K 个应答带错误的校验和</translation>
    </message>
    <message>
        <source>answer every K-th stored-group request with the next group</source>
        <translation>每第 K 个读组请求以下一组应答</translation>
    </message>
    <message>
        <source>send only the first 10 bytes of every K-th answer</source>
        <translation>每第 K 个应答只发送前 10 字节</translation>
    </message>
    <message>
        <source>answer nothing after N answers</source>
        <translation>应答 N 次后不再应答</translation>
    </message>
    <message>
        <source>close the line after N answers, like pulling the USB plug</source>
        <translation>应答 N 次后关闭线路, 如同拔出 USB 插头</translation>
    </message>
    <message>
        <source>after the unplug, come back on a new pty MS milliseconds later</source>
        <translation>拔出后过 MS 毫秒在新的 pty 上重新出现</translation>
    </message>
    <message>
        <source>keep a symbolic link at PATH to the current pty (for --port)</source>
        <translation>在 PATH 处保持指向当前 pty 的符号链接 (供 --port 使用)</translation>
    </message>
    <message>
        <source>lead every K-th answer with 1 to 8 bytes of line noise</source>
        <translation>在每第 K 个应答前加 1 到 8 字节的线路噪声</translation>
    </message>
    <message>
        <source>hold each answer MS ms, like a USB adapter&apos;s latency timer
(FTDI: 16 ms by default)</source>
        <translation>每个应答压后 MS ms, 如同 USB 适配器的 latency timer
(FTDI 默认 16 ms)</translation>
    </message>
    <message>
        <source>seed of the generated readings (default 1)</source>
        <translation>生成读数所用的随机种子 (默认 1)</translation>
    </message>
    <message>
        <source>show this help</source>
        <translation>显示本帮助</translation>
    </message>
    <message>
        <source>Usage: velantis-cli simulate [options]</source>
        <translation>用法: velantis-cli simulate [选项]</translation>
    </message>
    <message>
        <source>Runs a simulated ratio tester on a pseudo-terminal. The first line on stdout is its
device path; it runs until interrupted (SIGINT/SIGTERM) or until its plug is pulled.</source>
        <translation>在伪终端上运行一台模拟的高压变比测试仪。标准输出的第一行是它的设备路径;
它一直运行, 直到被中断 (SIGINT/SIGTERM) 或被拔出插头。</translation>
    </message>
    <message>
        <source>Answers are numbered from 1; &quot;every K-th&quot; means answers K, 2K, 3K, ... A dropped answer
keeps its number. Requests with unknown codes get no answer and no number.</source>
        <translation>应答从 1 开始编号; &quot;每第 K 个&quot; 指第 K、2K、3K... 个应答。被丢掉的应答
也占一个编号。代码未知的请求没有应答, 也不占编号。</translation>
    </message>
    <message>
        <source>velantis-cli simulate: %1 (see --help)</source>
        <translation>velantis-cli simulate: %1 (参见 --help)</translation>
    </message>
    <message>
        <source>unexpected argument &apos;%1&apos;</source>
        <translation>多余的参数 &apos;%1&apos;</translation>
    </message>
    <message>
        <source>--no-byte-time takes no value</source>
        <translation>--no-byte-time 不带值</translation>
    </message>
    <message>
        <source>--link needs a path</source>
        <translation>--link 需要一个路径</translation>
    </message>
    <message>
        <source>--seed needs a value</source>
        <translation>--seed 需要一个值</translation>
    </message>
    <message>
        <source>--seed needs a number from 0 to 4294967295</source>
        <translation>--seed 的值应为 0 到 4294967295 的整数</translation>
    </message>
    <message>
        <source>unknown option &apos;%1&apos;</source>
        <translation>未知选项 &apos;%1&apos;</translation>
    </message>
    <message>
        <source>--%1 needs a value</source>
        <translation>--%1 需要一个值</translation>
    </message>
    <message>
        <source>--%1 needs a whole number from %2 to %3, not &apos;%4&apos;</source>
        <translation>--%1 的值应为 %2 到 %3 的整数, 而不是 &apos;%4&apos;</translation>
    </message>
    <message>
        <source>velantis-cli simulate: cannot start: %1</source>
        <translation>velantis-cli simulate: 无法启动: %1</translation>
    </message>
    <message>
        <source>Simulated instrument with %1 stored groups on %2.</source>
        <translation>模拟仪器已在 %2 上运行, 存有 %1 组。</translation>
    </message>
    <message>
        <source>Simulated instrument with %1 stored groups on %2 (no line timing).</source>
        <translation>模拟仪器已在 %2 上运行, 存有 %1 组 (不模拟线路速度)。</translation>
    </message>
    <message>
        <source>Try: %1</source>
        <translation>试试: %1</translation>
    </message>
    <message>
        <source>Stop it with Ctrl+C.</source>
        <translation>按 Ctrl+C 停止。</translation>
    </message>
    <message>
        <source>Simulator unplugged: %1 requests received, %2 answers sent.</source>
        <translation>模拟器已拔出: 收到 %1 个请求, 发出 %2 个应答。</translation>
    </message>
    <message>
        <source>Simulator stopped: %1 requests received, %2 answers sent.</source>
        <translation>模拟器已停止: 收到 %1 个请求, 发出 %2 个应答。</translation>
    </message>
</context>
<context>
    <name>Sync</name>
    <message numerus="yes">
        <source>velantis-cli %1: %n still waiting: %2</source>
        <translation>
            <numerusform>velantis-cli %1: 仍有 %n 项待同步: %2</numerusform>
        </translation>
    </message>
</context>
</TS>
