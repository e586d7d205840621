<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>velantis::WebPageWindow</name>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>编辑</source>
        <translation>Edit</translation>
    </message>
    <message>
        <source>操作</source>
        <translation>Actions</translation>
    </message>
    <message>
        <source>返回</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>前进</source>
        <translation>Forward</translation>
    </message>
    <message>
        <source>刷新</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>访问主页</source>
        <translation>Home</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>转到</source>
        <translation>Go</translation>
    </message>
</context>
<context>
    <name>velantis::WebProgram</name>
    <message>
        <source>用法: velantis-web [选项]
在一个小浏览器窗口中显示制造商的网页; velantis 从启动画面打开它。
网页无法访问时, 显示程序自带的网页。

  --home ADDRESS     主页地址, 代替制造商的网站,
                     例如 file:///tmp/page.html
  --control NAME     向在 NAME 上等待的程序报告 (由 velantis 使用)
  --lang zh|en       界面语言: 中文或英文 (默认按系统区域设置)
  --version          显示版本
  --help             显示本帮助
</source>
        <translation>Usage: velantis-web [options]
The maker&apos;s web page in a small browser window; velantis starts it from its splash.
When the page cannot be reached it shows the page that comes with the program.

  --home ADDRESS     home address instead of the maker&apos;s site,
                     e.g. file:///tmp/page.html
  --control NAME     report to the program listening on NAME (used by velantis)
  --lang zh|en       interface language: Chinese or English (default: the system&apos;s locale)
  --version          print the version
  --help             show this help
</translation>
    </message>
</context>
</TS>
