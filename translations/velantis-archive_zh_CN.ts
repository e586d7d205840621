<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
<context>
    <name>velantis::Archive</name>
    <message>
        <source>the record database %1 was moved or replaced while the program ran; the file now at that path is used</source>
        <translation>程序运行期间记录数据库 %1 被移动或替换；现使用该路径下的文件</translation>
    </message>
    <message>
        <source>the record database %1 was moved or deleted while the program ran; a new one was started there</source>
        <translation>程序运行期间记录数据库 %1 被移动或删除；已在原处新建记录数据库</translation>
    </message>
    <message>
        <source>%1; renaming it to %2 failed: %3</source>
        <translation>%1；改名为 %2 失败: %3</translation>
    </message>
    <message>
        <source>%1 was not a readable record database (%2); it was renamed to %3 and a new one started</source>
        <translation>%1 不是可读的记录数据库 (%2)；已改名为 %3 并新建了记录数据库</translation>
    </message>
    <message>
        <source>Qt&apos;s SQLite driver (QSQLITE) is not installed</source>
        <translation>未安装 Qt 的 SQLite 驱动 (QSQLITE)</translation>
    </message>
    <message>
        <source>%1 was written by a later version of the program (schema %2, this one knows %3): it is opened read only and new tests are not archived</source>
        <translation>%1 由更新版本的程序写入 (结构版本 %2，本程序支持 %3)：已以只读方式打开，新的测试不再存档</translation>
    </message>
</context>
<context>
    <name>velantis::ArchiveError</name>
    <message>
        <source>not a record database (%1)</source>
        <translation>不是记录数据库 (%1)</translation>
    </message>
    <message>
        <source>written by a later version of the program; opened read only</source>
        <translation>由更新版本的程序写入，已以只读方式打开</translation>
    </message>
    <message>
        <source>read-only (%1)</source>
        <translation>只读 (%1)</translation>
    </message>
    <message>
        <source>no space left on the device (%1)</source>
        <translation>磁盘已满 (%1)</translation>
    </message>
    <message>
        <source>locked by another program (%1)</source>
        <translation>被其他程序锁定 (%1)</translation>
    </message>
    <message>
        <source>cannot be opened (%1)</source>
        <translation>无法打开 (%1)</translation>
    </message>
    <message>
        <source>no such test</source>
        <translation>没有这条记录</translation>
    </message>
    <message>
        <source>cannot make the folder %1</source>
        <translation>无法创建文件夹 %1</translation>
    </message>
    <message>
        <source>schema version %1</source>
        <translation>数据库结构版本 %1</translation>
    </message>
    <message>
        <source>no test %1</source>
        <translation>没有第 %1 号记录</translation>
    </message>
    <message>
        <source>group %1 does not lie inside test %2&apos;s groups %3-%4</source>
        <translation>第 %1 组不在第 %2 号记录的组 %3-%4 之内</translation>
    </message>
    <message>
        <source>%1 parts but test information for %2</source>
        <translation>分为 %1 项测试，但测试信息有 %2 份</translation>
    </message>
    <message>
        <source>the part from group %1 to %2 would hold no group</source>
        <translation>第 %1 组至第 %2 组的部分没有任何数据组</translation>
    </message>
    <message>
        <source>tests %1 and %2 come from different downloads</source>
        <translation>第 %1 号与第 %2 号记录来自不同的下载</translation>
    </message>
    <message>
        <source>a merge needs two tests or more</source>
        <translation>合并至少需要两项测试</translation>
    </message>
    <message>
        <source>test %1 of the same download lies between them</source>
        <translation>同一下载的第 %1 号记录位于其间</translation>
    </message>
    <message>
        <source>no record database at %1</source>
        <translation>%1 处没有记录数据库</translation>
    </message>
    <message>
        <source>a database of another program (tables: %1), not a record database; left as it is</source>
        <translation>其他程序的数据库 (表: %1)，不是记录数据库；未作任何改动</translation>
    </message>
    <message>
        <source>database error (%1)</source>
        <translation>数据库错误 (%1)</translation>
    </message>
    <message>
        <source>the same test is kept already as test %1</source>
        <translation>同一测试已存为第 %1 号记录</translation>
    </message>
</context>
<context>
    <name>velantis::SyncWorker</name>
    <message>
        <source>server %1: %2</source>
        <translation>服务器 %1: %2</translation>
    </message>
    <message>
        <source>record database %1: %2</source>
        <translation>记录数据库 %1: %2</translation>
    </message>
</context>
<context>
    <name>velantis::ServerError</name>
    <message>
        <source>Qt&apos;s PostgreSQL driver (QPSQL) is not installed (Debian: libqt6sql6-psql)</source>
        <translation>未安装 Qt 的 PostgreSQL 驱动 (QPSQL) (Debian: libqt6sql6-psql)</translation>
    </message>
    <message>
        <source>cannot connect to the server (%1)</source>
        <translation>无法连接服务器 (%1)</translation>
    </message>
    <message>
        <source>the server asks for a password: give one, or put it in the password file</source>
        <translation>服务器要求密码：请输入密码，或将其写入密码文件</translation>
    </message>
    <message>
        <source>the database holds no Velantis archive: the administrator loads server.sql (velantis-cli server schema prints it)</source>
        <translation>该数据库中没有 Velantis 档案：请管理员载入 server.sql (velantis-cli server schema 可输出它)</translation>
    </message>
    <message>
        <source>the server&apos;s archive is of a later program version: it can be browsed, not changed</source>
        <translation>服务器上的档案属于更新版本的程序：只能浏览，不能修改</translation>
    </message>
    <message>
        <source>the test was sent by %1: only that role may edit it</source>
        <translation>该测试由 %1 上传：只有该角色可以修改</translation>
    </message>
    <message>
        <source>no test %1 on the server</source>
        <translation>服务器上没有测试 %1</translation>
    </message>
    <message>
        <source>the server refused: the role lacks the right (%1)</source>
        <translation>服务器拒绝：该角色没有此权限 (%1)</translation>
    </message>
    <message>
        <source>the connection to the server was lost; nothing was changed (%1)</source>
        <translation>与服务器的连接已断开；未做任何更改 (%1)</translation>
    </message>
    <message>
        <source>server error (%1)</source>
        <translation>服务器错误 (%1)</translation>
    </message>
    <message>
        <source>not a connection string: %1</source>
        <translation>不是连接字符串: %1</translation>
    </message>
    <message>
        <source>a &apos;;&apos; in the connection string cannot be passed to the driver: %1</source>
        <translation>连接字符串中的 &apos;;&apos; 无法传给驱动: %1</translation>
    </message>
</context>
<context>
    <name>velantis::TestJson</name>
    <message>
        <source>a guard band needs an accuracy class</source>
        <translation>保护带需要先给出准确级</translation>
    </message>
    <message>
        <source>the guard band of class %1 is above 0 and below %2 %</source>
        <translation>%1 级的保护带应大于 0 且小于 %2 %</translation>
    </message>
    <message>
        <source>a text is wanted here</source>
        <translation>此处应为文本</translation>
    </message>
    <message>
        <source>a whole number from %1 to %2 is wanted here</source>
        <translation>此处应为 %1 到 %2 之间的整数</translation>
    </message>
    <message>
        <source>a date as yyyy-MM-dd is wanted here, not &apos;%1&apos;</source>
        <translation>此处应为 yyyy-MM-dd 格式的日期, 而不是 &apos;%1&apos;</translation>
    </message>
    <message>
        <source>a date and time (ISO 8601) is wanted here, not &apos;%1&apos;</source>
        <translation>此处应为日期和时间 (ISO 8601), 而不是 &apos;%1&apos;</translation>
    </message>
    <message>
        <source>line %1, column %2</source>
        <translation>第 %1 行第 %2 列</translation>
    </message>
    <message>
        <source>malformed JSON: %1</source>
        <translation>JSON 格式错误: %1</translation>
    </message>
    <message>
        <source>the document</source>
        <translation>整个文件</translation>
    </message>
    <message>
        <source>a JSON object is wanted</source>
        <translation>应为 JSON 对象</translation>
    </message>
    <message>
        <source>not a test of this program (format &quot;%1&quot; wanted)</source>
        <translation>不是本程序的测试数据 (应为格式 &quot;%1&quot;)</translation>
    </message>
    <message>
        <source>unknown format version %1 (this program reads version %2)</source>
        <translation>未知的格式版本 %1 (本程序读取版本 %2)</translation>
    </message>
    <message>
        <source>not a UUID: &apos;%1&apos;</source>
        <translation>不是 UUID: &apos;%1&apos;</translation>
    </message>
    <message>
        <source>an object is wanted here</source>
        <translation>此处应为对象</translation>
    </message>
    <message>
        <source>no such accuracy class: &apos;%1&apos;</source>
        <translation>没有这个准确级: &apos;%1&apos;</translation>
    </message>
    <message>
        <source>not a PNG image in base64</source>
        <translation>不是 base64 编码的 PNG 图片</translation>
    </message>
    <message>
        <source>the logo is larger than %1 kB</source>
        <translation>标志图片大于 %1 kB</translation>
    </message>
    <message>
        <source>a per cent with at most two decimals is wanted, not &apos;%1&apos;</source>
        <translation>应为最多两位小数的百分数, 而不是 &apos;%1&apos;</translation>
    </message>
    <message>
        <source>no such end of a download: &apos;%1&apos;</source>
        <translation>没有这种下载结束方式: &apos;%1&apos;</translation>
    </message>
    <message>
        <source>an array is wanted here</source>
        <translation>此处应为数组</translation>
    </message>
    <message>
        <source>group %1 is given twice</source>
        <translation>第 %1 组出现了两次</translation>
    </message>
    <message>
        <source>a frame of 40 hex digits (20 bytes) is wanted</source>
        <translation>应为 40 位十六进制数字 (20 字节) 的数据帧</translation>
    </message>
    <message>
        <source>the frame&apos;s checksum is wrong</source>
        <translation>数据帧的校验和错误</translation>
    </message>
</context>
</TS>
