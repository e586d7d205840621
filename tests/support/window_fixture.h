// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/fake_serial_line.h"
#include "support/window_stand_ins.h"
#include "windows/main_window.h"

#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace velantis::testing {

// The main window offscreen over a fake line with one device, answering file dialogs and a
// printer that writes print.pdf in the test's folder; the read command's yield does nothing.
class WindowFixture : public ::testing::Test {
protected:
    static inline const QString Device = QStringLiteral("/dev/fake1");

    void SetUp() override {
        auto fakeLine = std::make_unique<FakeSerialLine>();
        line = fakeLine.get();
        line->existing.insert(Device);
        auto dialogs = std::make_unique<AnsweringDialogs>();
        files = dialogs.get();
        auto chooser = std::make_unique<PdfChooser>();
        printer = chooser.get();
        printer->pdf = folder.filePath(QStringLiteral("print.pdf"));
        window = new MainWindow({std::move(fakeLine),
                                 std::make_unique<PortMap>([] { return QStringList{Device}; }),
                                 folder.path(), std::move(dialogs), std::move(chooser)});
        window->monitor().setYieldToEvents([] {});
        window->show();
        // Save dialogs start in the test's folder, as if the user had last saved there.
        RememberSaveFolder(folder.filePath(QStringLiteral("any")));
    }
    void TearDown() override {
        if (QMessageBox* box = OpenMessageBox())
            box->close();
        delete window.data();
    }

    template <typename W> W* find(const char* name) {
        W* w = window->findChild<W*>(QString::fromUtf8(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    void send(const MeasurementFrame& f) { line->receive(f.toByteArray()); }
    Monitor& monitor() { return window->monitor(); }

    // Stored group n as the instrument sends it.
    static MeasurementFrame Group(int n) {
        return FrameBuilder()
            .hv(static_cast<std::uint16_t>(1000 + n), 0x31)
            .r(5000, 0x33)
            .s(4987, 0x33)
            .t(501, 0x32)
            .groupNo(static_cast<std::uint16_t>(n))
            .ratioError(0x83)
            .rated(100, 50)
            .channelKind(0, 1)
            .build();
    }
    // A download that has stored `stored` of the `announced` groups so far.
    void startDownload(int stored, int announced) {
        find<QPushButton>("Command2")->click();
        send(GroupCountFrame(static_cast<std::uint16_t>(announced)));
        for (int g = 1; g <= stored; ++g)
            send(Group(g));
    }
    // A complete download of n groups, answered as the instrument would.
    void download(int n) {
        startDownload(n, n);
        send(EndOfGroupsFrame());
        ASSERT_EQ(monitor().groupsStored(), n);
    }

    QTemporaryDir folder;
    FakeSerialLine* line = nullptr;
    AnsweringDialogs* files = nullptr;
    PdfChooser* printer = nullptr;
    QPointer<MainWindow> window;
};

} // namespace velantis::testing
