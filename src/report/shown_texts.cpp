// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/shown_texts.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <vector>

namespace velantis {

namespace {

// Every form of text the controller shows, as it composes them: %1, %2... stand for what it puts
// in. Where one form could swallow another, the narrower one comes first.
const char* const Forms[] = {
    // The state fields and the first panel.
    QT_TRANSLATE_NOOP("ControllerTexts", "串口打开"),
    QT_TRANSLATE_NOOP("ControllerTexts", "串口关闭"),
    QT_TRANSLATE_NOOP("ControllerTexts", "通信成功"),
    QT_TRANSLATE_NOOP("ControllerTexts", "通信失败"),
    QT_TRANSLATE_NOOP("ControllerTexts", "正在读取..."),
    QT_TRANSLATE_NOOP("ControllerTexts", "正在查找..."),
    // The verdicts and the class not chosen.
    QT_TRANSLATE_NOOP("ControllerTexts", "合格"),
    QT_TRANSLATE_NOOP("ControllerTexts", "超差"),
    QT_TRANSLATE_NOOP("ControllerTexts", "不判定"),
    // Why a group has no verdict.
    QT_TRANSLATE_NOOP("ControllerTexts", "未选准确级"),
    QT_TRANSLATE_NOOP("ControllerTexts", "无通道"),
    QT_TRANSLATE_NOOP("ControllerTexts", "额定一次为 0"),
    QT_TRANSLATE_NOOP("ControllerTexts", "额定一次未知"),
    QT_TRANSLATE_NOOP("ControllerTexts", "高压电流无数值"),
    QT_TRANSLATE_NOOP("ControllerTexts", "通道电流无数值"),
    QT_TRANSLATE_NOOP("ControllerTexts", "F.Er 无数值"),
    QT_TRANSLATE_NOOP("ControllerTexts", "负荷低于 %1 %"),
    QT_TRANSLATE_NOOP("ControllerTexts", "负荷高于 %1 %"),
    QT_TRANSLATE_NOOP("ControllerTexts", "保护带超出范围"),
    // The setting and the ratio beside the readings.
    QT_TRANSLATE_NOOP("ControllerTexts", "设定:%1"),
    QT_TRANSLATE_NOOP("ControllerTexts", "变比:%1"),
    // How a download went.
    QT_TRANSLATE_NOOP("ControllerTexts", "正在读取: %1"),
    QT_TRANSLATE_NOOP("ControllerTexts", "读取完成: 已存 %1 组"),
    QT_TRANSLATE_NOOP("ControllerTexts", "读取中止 (仪器无应答): 已存 %1 组"),
    QT_TRANSLATE_NOOP("ControllerTexts", "读取中止 (通信中断): 已存 %1 组"),
    QT_TRANSLATE_NOOP("ControllerTexts", "读取结束 (最多 4000 组): 已存 %1 组"),
    QT_TRANSLATE_NOOP("ControllerTexts", "读取不完整 (仪器提前结束): 已存 %1 组"),
    QT_TRANSLATE_NOOP("ControllerTexts", "读取被中断: 已存 %1 组"),
    // What the port says.
    QT_TRANSLATE_NOOP("ControllerTexts", "串口已断开 (%1): %2"),
    QT_TRANSLATE_NOOP("ControllerTexts",
                      "无法打开 %1: 已被其他程序占用 (%2); 请先关闭占用它的程序"),
    QT_TRANSLATE_NOOP("ControllerTexts",
                      "无权打开 %1: 请把用户加入 dialout 组 (sudo usermod -aG dialout $USER), "
                      "然后重新登录"),
    QT_TRANSLATE_NOOP("ControllerTexts", "锁文件 %1，持有者 %2，进程 %3"),
    QT_TRANSLATE_NOOP("ControllerTexts", "锁文件 %1，持有者 进程 %2"),
    QT_TRANSLATE_NOOP("ControllerTexts", "锁文件 %1"),
    QT_TRANSLATE_NOOP("ControllerTexts", "设备已被独占打开"),
    QT_TRANSLATE_NOOP("ControllerTexts",
                      "%1 的 USB 适配器把每个应答压后 %2 ms (latency timer): 读取 %3 组约需 %4 s, "
                      "而不是 %5 s。装上本程序的 udev 规则 (%6) 后重新插上适配器, 或执行 echo 1 | "
                      "sudo tee %7"),
};

const QRegularExpression& Marker() {
    static const QRegularExpression marker(QStringLiteral("%(\\d)"));
    return marker;
}

struct Form {
    const char* source;
    QRegularExpression pattern; // the whole text, one group for each %n in order
    std::vector<int> order;     // the %n of each group
};

const std::vector<Form>& CompiledForms() {
    static const std::vector<Form> forms = [] {
        std::vector<Form> made;
        for (const char* source : Forms) {
            const QString text = QString::fromUtf8(source);
            QString pattern = QStringLiteral("^");
            std::vector<int> order;
            qsizetype at = 0;
            for (auto it = Marker().globalMatch(text); it.hasNext();) {
                const QRegularExpressionMatch m = it.next();
                pattern += QRegularExpression::escape(text.mid(at, m.capturedStart() - at)) +
                           QStringLiteral("(.*)");
                order.push_back(m.captured(1).toInt());
                at = m.capturedEnd();
            }
            pattern += QRegularExpression::escape(text.mid(at)) + QStringLiteral("$");
            made.push_back(
                {source,
                 QRegularExpression(pattern, QRegularExpression::DotMatchesEverythingOption),
                 std::move(order)});
        }
        return made;
    }();
    return forms;
}

} // namespace

QString DownloadEndingText(DownloadEnd how, int stored, int announced) {
    const char* reason = nullptr;
    switch (how) {
    case DownloadEnd::None:
    case DownloadEnd::Running:
    case DownloadEnd::EndFrame:
        return {};
    case DownloadEnd::Watchdog:
        reason = QT_TRANSLATE_NOOP("DownloadEnding", "仪器无应答");
        break;
    case DownloadEnd::LinkLost:
        reason = QT_TRANSLATE_NOOP("DownloadEnding", "通信中断");
        break;
    case DownloadEnd::StoreFull:
        reason = QT_TRANSLATE_NOOP("DownloadEnding", "超过 4000 组");
        break;
    case DownloadEnd::Incomplete:
        reason = QT_TRANSLATE_NOOP("DownloadEnding", "仪器提前结束");
        break;
    case DownloadEnd::Interrupted:
        reason = QT_TRANSLATE_NOOP("DownloadEnding", "读取被中断");
        break;
    }
    return QCoreApplication::translate("DownloadEnding", "%1 / %2 组, %3")
        .arg(QString::number(stored),
             announced < 0 ? QStringLiteral("?") : QString::number(announced),
             QCoreApplication::translate("DownloadEnding", reason));
}

QString ShownText(const QString& controllerText) {
    if (controllerText.isEmpty())
        return controllerText;
    for (const Form& form : CompiledForms()) {
        const QRegularExpressionMatch m = form.pattern.match(controllerText);
        if (!m.hasMatch())
            continue;
        QStringList parts(static_cast<qsizetype>(form.order.size()));
        for (std::size_t i = 0; i < form.order.size(); ++i)
            parts[form.order[i] - 1] = ShownText(m.captured(static_cast<int>(i) + 1));
        // One pass over the translated form, so that a '%' in a device or path put in is never
        // taken for a place holder.
        const QString translated = QCoreApplication::translate("ControllerTexts", form.source);
        QString shown;
        qsizetype at = 0;
        for (auto it = Marker().globalMatch(translated); it.hasNext();) {
            const QRegularExpressionMatch p = it.next();
            const qsizetype n = p.captured(1).toInt();
            shown += translated.mid(at, p.capturedStart() - at) +
                     (n >= 1 && n <= parts.size() ? parts[n - 1] : p.captured());
            at = p.capturedEnd();
        }
        shown += translated.mid(at);
        return shown;
    }
    return controllerText;
}

} // namespace velantis
