<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>ControllerTexts</name>
    <message>
        <source>串口打开</source>
        <translation>Port open</translation>
    </message>
    <message>
        <source>串口关闭</source>
        <translation>Port closed</translation>
    </message>
    <message>
        <source>通信成功</source>
        <translation>Link OK</translation>
    </message>
    <message>
        <source>通信失败</source>
        <translation>Link failed</translation>
    </message>
    <message>
        <source>正在读取...</source>
        <translation>Downloading...</translation>
    </message>
    <message>
        <source>正在查找...</source>
        <translation>Searching...</translation>
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
        <source>不判定</source>
        <translation>No verdict</translation>
    </message>
    <message>
        <source>未选准确级</source>
        <translation>no class chosen</translation>
    </message>
    <message>
        <source>无通道</source>
        <translation>no channel</translation>
    </message>
    <message>
        <source>额定一次为 0</source>
        <translation>rated primary is 0</translation>
    </message>
    <message>
        <source>额定一次未知</source>
        <translation>rated primary unknown</translation>
    </message>
    <message>
        <source>高压电流无数值</source>
        <translation>no HV current</translation>
    </message>
    <message>
        <source>通道电流无数值</source>
        <translation>no channel current</translation>
    </message>
    <message>
        <source>F.Er 无数值</source>
        <translation>no F.Er</translation>
    </message>
    <message>
        <source>负荷低于 %1 %</source>
        <translation>load below %1 %</translation>
    </message>
    <message>
        <source>负荷高于 %1 %</source>
        <translation>load above %1 %</translation>
    </message>
    <message>
        <source>保护带超出范围</source>
        <translation>guard band out of range</translation>
    </message>
    <message>
        <source>设定:%1</source>
        <translation>Set:%1</translation>
    </message>
    <message>
        <source>变比:%1</source>
        <translation>Ratio:%1</translation>
    </message>
    <message>
        <source>正在读取: %1</source>
        <translation>Downloading: %1</translation>
    </message>
    <message>
        <source>读取完成: 已存 %1 组</source>
        <translation>Download complete: %1 groups stored</translation>
    </message>
    <message>
        <source>读取中止 (仪器无应答): 已存 %1 组</source>
        <translation>Download stopped (the instrument does not answer): %1 groups stored</translation>
    </message>
    <message>
        <source>读取中止 (通信中断): 已存 %1 组</source>
        <translation>Download stopped (the link was lost): %1 groups stored</translation>
    </message>
    <message>
        <source>读取结束 (最多 4000 组): 已存 %1 组</source>
        <translation>Download ended (4000 groups at most): %1 groups stored</translation>
    </message>
    <message>
        <source>读取不完整 (仪器提前结束): 已存 %1 组</source>
        <translation>Download incomplete (the instrument ended early): %1 groups stored</translation>
    </message>
    <message>
        <source>读取被中断: 已存 %1 组</source>
        <translation>Download interrupted: %1 groups stored</translation>
    </message>
    <message>
        <source>串口已断开 (%1): %2</source>
        <translation>Port disconnected (%1): %2</translation>
    </message>
    <message>
        <source>无法打开 %1: 已被其他程序占用 (%2); 请先关闭占用它的程序</source>
        <translation>Cannot open %1: another program is using it (%2); close that program first</translation>
    </message>
    <message>
        <source>无权打开 %1: 请把用户加入 dialout 组 (sudo usermod -aG dialout $USER), 然后重新登录</source>
        <translation>No permission to open %1: add the user to the dialout group (sudo usermod -aG dialout $USER), then log in again</translation>
    </message>
    <message>
        <source>锁文件 %1，持有者 %2，进程 %3</source>
        <translation>lock file %1, held by %2, process %3</translation>
    </message>
    <message>
        <source>锁文件 %1，持有者 进程 %2</source>
        <translation>lock file %1, held by process %2</translation>
    </message>
    <message>
        <source>锁文件 %1</source>
        <translation>lock file %1</translation>
    </message>
    <message>
        <source>设备已被独占打开</source>
        <translation>the device is opened exclusively</translation>
    </message>
    <message>
        <source>%1 的 USB 适配器把每个应答压后 %2 ms (latency timer): 读取 %3 组约需 %4 s, 而不是 %5 s。装上本程序的 udev 规则 (%6) 后重新插上适配器, 或执行 echo 1 | sudo tee %7</source>
        <translation>The USB adapter of %1 holds back each answer %2 ms (latency timer): downloading %3 groups takes about %4 s instead of %5 s. Install the program&apos;s udev rule (%6) and plug the adapter in again, or run echo 1 | sudo tee %7</translation>
    </message>
</context>
<context>
    <name>DownloadEnding</name>
    <message>
        <source>%1 / %2 组, %3</source>
        <translation>%1 / %2 groups, %3</translation>
    </message>
    <message>
        <source>仪器无应答</source>
        <translation>the instrument did not answer</translation>
    </message>
    <message>
        <source>仪器提前结束</source>
        <translation>the instrument ended early</translation>
    </message>
    <message>
        <source>读取被中断</source>
        <translation>the download was interrupted</translation>
    </message>
    <message>
        <source>超过 4000 组</source>
        <translation>more than 4000 groups</translation>
    </message>
    <message>
        <source>通信中断</source>
        <translation>the link was lost</translation>
    </message>
</context>
<context>
    <name>velantis::ErrorCurve</name>
    <message>
        <source>%1 组不在图示范围内</source>
        <translation>Groups outside the chart: %1</translation>
    </message>
    <message>
        <source>电流 (% 额定一次电流)</source>
        <translation>Current (% of rated primary)</translation>
    </message>
    <message>
        <source>F.Er (%)</source>
        <translation>F.Er (%)</translation>
    </message>
    <message>
        <source>误差曲线</source>
        <translation>Error Curve</translation>
    </message>
    <message>
        <source>限值</source>
        <translation>Limit</translation>
    </message>
    <message>
        <source>接受限</source>
        <translation>Acceptance limit</translation>
    </message>
</context>
<context>
    <name>velantis::TestReport</name>
    <message>
        <source>电流互感器变比试验报告</source>
        <translation>Current Transformer Ratio Test Report</translation>
    </message>
    <message>
        <source>组号</source>
        <translation>Group</translation>
    </message>
    <message>
        <source>高压电流</source>
        <translation>HV current</translation>
    </message>
    <message>
        <source>变比</source>
        <translation>Ratio</translation>
    </message>
    <message>
        <source>通道</source>
        <translation>Ch.</translation>
    </message>
    <message>
        <source>限值(±%)</source>
        <translation>Limit(±%)</translation>
    </message>
    <message>
        <source>结论</source>
        <translation>Verdict</translation>
    </message>
    <message>
        <source>限值按 IEC 61869-2 测量用电流互感器的比值差限值；标准只给出各负荷点的限值，两点之间按负荷线性插值是本程序的规则。</source>
        <translation>Limits are the ratio error limits of IEC 61869-2 for measuring current transformers; the standard gives limits at its load points only, and interpolating linearly between two points is this program&apos;s rule.</translation>
    </message>
    <message>
        <source>未选准确级，各组不判定。</source>
        <translation>No accuracy class chosen: no group is judged.</translation>
    </message>
    <message>
        <source> (各组设定不同)</source>
        <translation> (settings differ between groups)</translation>
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
        <source>试验日期</source>
        <translation>Test date</translation>
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
        <source>下载时间</source>
        <translation>Downloaded</translation>
    </message>
    <message>
        <source>端口</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>备注: </source>
        <translation>Remarks: </translation>
    </message>
    <message>
        <source>准确级: 未选 (不判定)</source>
        <translation>Accuracy class: none (no verdict)</translation>
    </message>
    <message>
        <source>准确级 %1 的比值差限值: %2</source>
        <translation>Ratio error limits of class %1: %2</translation>
    </message>
    <message>
        <source>组数 %1    合格 %2    超差 %3    不判定 %4</source>
        <translation>Groups %1    Pass %2    Fail %3    No verdict %4</translation>
    </message>
    <message>
        <source>    最大 |F.Er|: %1 (第 %2 组)</source>
        <translation>    Largest |F.Er|: %1 (group %2)</translation>
    </message>
    <message>
        <source>%1  %2 (续 %3)</source>
        <translation>%1  %2 (continued, page %3)</translation>
    </message>
    <message>
        <source>试验: </source>
        <translation>Tested by: </translation>
    </message>
    <message>
        <source>审核: </source>
        <translation>Reviewed by: </translation>
    </message>
    <message>
        <source>第 %1 页 / 共 %2 页</source>
        <translation>Page %1 of %2</translation>
    </message>
    <message>
        <source>注: 只评定比值差 (F.Er)，未评定相位差；二次负荷与扩展额定电流未知；F.Er 的分辨率为 0.1 %。</source>
        <translation>Note: only the ratio error (F.Er) is judged, not the phase displacement; the secondary burden and the extended rated current are unknown; F.Er is resolved to 0.1 %.</translation>
    </message>
    <message>
        <source>下载未完成</source>
        <translation>Download incomplete</translation>
    </message>
    <message>
        <source> (下载未完成)</source>
        <translation> (download incomplete)</translation>
    </message>
    <message>
        <source>没有能显示中文的字体: 宋体 (SimSun)、WenQuanYi Zen Hei 都没有安装, 也没有 %1; 报告不能绘制</source>
        <translation>No font for Chinese text: neither SimSun nor WenQuanYi Zen Hei is installed, and %1 is missing; the report cannot be drawn</translation>
    </message>
    <message>
        <source>电流(%In)</source>
        <translation>Current (%In)</translation>
    </message>
    <message>
        <source>注: 只评定比值差 (F.Er)，未评定相位差；扩展额定电流未知；F.Er 的分辨率为 0.1 %。</source>
        <translation>Note: only the ratio error (F.Er) is judged, not the phase displacement; the extended rated current is unknown; F.Er is resolved to 0.1 %.</translation>
    </message>
    <message>
        <source>电流(%In) = 高压电流 ÷ 该组额定一次电流 × 100 %，四舍五入到 0.1；限值截取到两位小数。* 表示该组有电压低标志。</source>
        <translation>Current (%In) = HV current ÷ the group&apos;s rated primary current × 100 %, rounded to 0.1; limits are cut to two decimals. * marks a group with a low-voltage flag.</translation>
    </message>
    <message>
        <source>电流(%In) 在准确级的范围之外时向范围外取到 0.1 (4.9995 % 记为 4.9)；不判定的组在结论栏注明原因。</source>
        <translation>A current (%In) outside the class&apos;s range is rounded to 0.1 away from the range (4.9995 % shows as 4.9); a group without a verdict has the reason in its verdict column.</translation>
    </message>
    <message>
        <source>报告编号: %1</source>
        <translation>Report No.: %1</translation>
    </message>
    <message>
        <source>判定规则: 简单接受 (保护带 w = 0)，|F.Er| ≤ 限值为合格，否则为超差 (ILAC-G8:09/2019 二元判定规则)。</source>
        <translation>Decision rule: simple acceptance (guard band w = 0): Pass when |F.Er| ≤ the limit, else Fail (binary decision rule, ILAC-G8:09/2019).</translation>
    </message>
    <message>
        <source>判定规则: 带保护带的二元判定，保护带 w = %1 %；接受限 = 该组电流下的限值 − w，|F.Er| ≤ 接受限为合格，否则为超差 (ILAC-G8:09/2019)。</source>
        <translation>Decision rule: binary with a guard band w = %1 %; acceptance limit = the limit at the group&apos;s current − w; Pass when |F.Er| ≤ the acceptance limit, else Fail (ILAC-G8:09/2019).</translation>
    </message>
    <message>
        <source>仪器显示 F.Er 的分辨率为 0.1 %，与准确级 %1 在 100 % 额定电流时的限值 ±%2 % 同一量级：读数的分辨率不足以区分限值附近的误差。</source>
        <translation>The instrument shows F.Er to 0.1 %, of the order of class %1&apos;s limit of ±%2 % at 100 % rated current: the reading cannot tell errors near the limit apart.</translation>
    </message>
    <message>
        <source>不合格</source>
        <translation>Fail</translation>
    </message>
    <message>
        <source>合格</source>
        <translation>Pass</translation>
    </message>
    <message>
        <source>不判定</source>
        <translation>No verdict</translation>
    </message>
    <message>
        <source>总体结论: %1</source>
        <translation>Overall verdict: %1</translation>
    </message>
    <message>
        <source> (无结论 %1 组)</source>
        <translation> (without a verdict: %1)</translation>
    </message>
    <message>
        <source>报告编号</source>
        <translation>Report No.</translation>
    </message>
    <message>
        <source>执行标准</source>
        <translation>Standard</translation>
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
        <source>环境温度 (°C)</source>
        <translation>Ambient temperature (°C)</translation>
    </message>
    <message>
        <source>相对湿度 (%)</source>
        <translation>Relative humidity (%)</translation>
    </message>
    <message>
        <source>（已过期）</source>
        <translation> (expired)</translation>
    </message>
    <message>
        <source>测试仪编号</source>
        <translation>Test set serial</translation>
    </message>
    <message>
        <source>测试仪校准有效期至</source>
        <translation>Test set calibrated until</translation>
    </message>
    <message>
        <source>未存档</source>
        <translation>Not archived</translation>
    </message>
    <message>
        <source>限值/接受限(±%)</source>
        <translation>Limit / acceptance (±%)</translation>
    </message>
    <message>
        <source>导入自列表文件</source>
        <translation>Imported from saved list</translation>
    </message>
</context>
</TS>
