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
</context>
</TS>
