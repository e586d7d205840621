// SPDX-License-Identifier: GPL-3.0-or-later
// The Debian package: built with cpack from this build tree into a temporary folder, then read
// back with dpkg-deb (control fields, file list) and unpacked to check what it installs.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSize>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstring>

#include <gtest/gtest.h>

namespace {

struct Result {
    int code = -1;
    QByteArray out;
    QByteArray err;
};

Result Execute(const QString& program, const QStringList& args, int timeoutMs = 60000) {
    QProcess p;
    p.start(program, args);
    Result r;
    if (!p.waitForFinished(timeoutMs) || p.exitStatus() != QProcess::NormalExit) {
        p.kill();
        p.waitForFinished();
        r.err = "did not finish: " + p.readAllStandardError();
        return r;
    }
    r.code = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// Width and height from a PNG file's header chunk.
QSize PngSize(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray head = file.read(24);
    if (head.size() < 24 || !head.startsWith("\x89PNG\r\n\x1a\n") || head.mid(12, 4) != "IHDR")
        return {};
    const auto be32 = [&](int at) {
        int v = 0;
        for (int i = 0; i < 4; ++i)
            v = v * 256 + static_cast<unsigned char>(head[at + i]);
        return v;
    };
    return {be32(16), be32(20)};
}

constexpr QLatin1String MetaInfo("/usr/share/metainfo/com.qintarnorvak.velantis.metainfo.xml");

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class PackageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (QStandardPaths::findExecutable(QStringLiteral("dpkg-deb")).isEmpty())
            return; // not a Debian system: SetUp skips
        out_ = new QTemporaryDir;
        const Result r = Execute(QStringLiteral(VELANTIS_CPACK),
                                 {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("-B"),
                                  out_->path(), QStringLiteral("--config"),
                                  QStringLiteral(VELANTIS_BUILD_DIR "/CPackConfig.cmake")},
                                 540000);
        cpackLog_ = new QByteArray(r.out + r.err);
        const QStringList debs =
            QDir(out_->path()).entryList({QStringLiteral("*.deb")}, QDir::Files);
        if (r.code == 0 && debs.size() == 1)
            deb_ = new QString(QDir(out_->path()).filePath(debs.constFirst()));
    }
    static void TearDownTestSuite() {
        delete out_;
        delete cpackLog_;
        delete deb_;
    }
    void SetUp() override {
        if (out_ == nullptr)
            GTEST_SKIP() << "dpkg-deb is not installed";
        ASSERT_NE(deb_, nullptr) << cpackLog_->constData();
    }
    static QString Field(const char* name) {
        const Result r = Execute(QStringLiteral("dpkg-deb"),
                                 {QStringLiteral("-f"), *deb_, QString::fromLatin1(name)});
        EXPECT_EQ(r.code, 0) << r.err.constData();
        return QString::fromUtf8(r.out).trimmed();
    }

    static inline QTemporaryDir* out_ = nullptr;
    static inline QByteArray* cpackLog_ = nullptr;
    static inline QString* deb_ = nullptr;
};

TEST_F(PackageTest, NameVersionAndDependencies) {
    const QString arch = QString::fromUtf8(
        Execute(QStringLiteral("dpkg"), {QStringLiteral("--print-architecture")}).out.trimmed());
    EXPECT_EQ(QFileInfo(*deb_).fileName(),
              QStringLiteral("velantis_%1_%2.deb").arg(QStringLiteral(VELANTIS_VERSION), arch));
    EXPECT_EQ(Field("Package"), QStringLiteral("velantis"));
    EXPECT_EQ(Field("Version"), QStringLiteral(VELANTIS_VERSION));

    // Libraries found in the binaries (an empty list here means dpkg-shlibdeps was missing),
    // and what Qt loads at run time.
    const QStringList depends = Field("Depends").split(QStringLiteral(", "));
    for (const char* name :
         {"libc6", "libqt6core6", "libqt6gui6", "libqt6widgets6", "libqt6serialport6",
          "libqt6printsupport6", "libqt6network6", "libqt6webenginewidgets6", "qt6-qpa-plugins",
          "fonts-wqy-zenhei", "libqt6sql6-sqlite", "libqt6sql6-psql"}) {
        const QString prefix = QString::fromLatin1(name);
        EXPECT_TRUE(std::any_of(depends.begin(), depends.end(),
                                [&](const QString& d) {
                                    return d == prefix || d.startsWith(prefix + QLatin1Char(' '));
                                }))
            << name << " missing from Depends: " << qPrintable(depends.join(", "));
    }
}

TEST_F(PackageTest, InstallsProgramsDesktopEntryIconsUdevRuleAndDocuments) {
    const Result list = Execute(QStringLiteral("dpkg-deb"), {QStringLiteral("-c"), *deb_});
    ASSERT_EQ(list.code, 0) << list.err.constData();
    QStringList paths;
    for (const QByteArray& line : list.out.split('\n'))
        if (const int at = line.indexOf(" ./"); at >= 0)
            paths << QString::fromUtf8(line.mid(at + 2)); // "/usr/bin/velantis"

    const int sizes[] = {16, 24, 32, 48, 64, 128, 256};
    QStringList expected = {QStringLiteral("/usr/bin/velantis"),
                            QStringLiteral("/usr/bin/velantis-cli"),
                            QStringLiteral("/usr/bin/velantis-web"),
                            QStringLiteral("/usr/share/applications/velantis.desktop"),
                            QStringLiteral("/usr/lib/udev/rules.d/60-velantis-ftdi-latency.rules"),
                            QString(MetaInfo),
                            QStringLiteral("/usr/share/doc/velantis/copyright"),
                            QStringLiteral("/usr/share/doc/velantis/changelog.gz"),
                            QStringLiteral("/usr/share/bash-completion/completions/velantis-cli"),
                            QStringLiteral("/usr/share/velantis/server.sql")};
    for (const char* name : {"velantis", "velantis-cli", "velantis-web"})
        expected << QStringLiteral("/usr/share/man/man1/%1.1.gz").arg(QLatin1String(name));
    for (int size : sizes)
        expected << QStringLiteral("/usr/share/icons/hicolor/%1x%1/apps/velantis.png").arg(size);
    for (const QString& path : expected)
        EXPECT_TRUE(paths.contains(path)) << qPrintable(path);
    // Nothing else but folders: no test program, no library, no build file.
    for (const QString& path : paths)
        EXPECT_TRUE(path.endsWith(QLatin1Char('/')) || expected.contains(path))
            << "unexpected " << qPrintable(path);

    QTemporaryDir root;
    const Result unpack =
        Execute(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), *deb_, root.path()});
    ASSERT_EQ(unpack.code, 0) << unpack.err.constData();
    for (int size : sizes)
        EXPECT_EQ(PngSize(root.filePath(
                      QStringLiteral("usr/share/icons/hicolor/%1x%1/apps/velantis.png").arg(size))),
                  QSize(size, size));

    QFile desktop(root.filePath(QStringLiteral("usr/share/applications/velantis.desktop")));
    ASSERT_TRUE(desktop.open(QIODevice::ReadOnly));
    const QList<QByteArray> entry = desktop.readAll().split('\n');
    for (const char* line : {"[Desktop Entry]", "Type=Application", "Exec=velantis",
                             "Icon=velantis", "Terminal=false"})
        EXPECT_TRUE(entry.contains(line)) << line;

    QFile rule(
        root.filePath(QStringLiteral("usr/lib/udev/rules.d/60-velantis-ftdi-latency.rules")));
    ASSERT_TRUE(rule.open(QIODevice::ReadOnly));
    const QByteArray rules = rule.readAll();
    EXPECT_TRUE(rules.contains("DRIVER==\"ftdi_sio\"") &&
                rules.contains("ATTR{latency_timer}=\"1\""));

    // The installed programs answer --version and --help without a display, before any window
    // system is touched.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    for (const char* name : {"velantis", "velantis-cli", "velantis-web"}) {
        const QString program = root.filePath(QStringLiteral("usr/bin/") + QLatin1String(name));
        for (const char* option : {"--version", "--help"}) {
            QProcess p;
            p.setProcessEnvironment(env);
            p.start(program, {QString::fromLatin1(option)});
            ASSERT_TRUE(p.waitForFinished(30000)) << name << " " << option;
            EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << name << " " << option;
            EXPECT_EQ(p.exitCode(), 0) << name << " " << option;
            const QByteArray out = p.readAllStandardOutput();
            if (std::strcmp(option, "--version") == 0)
                EXPECT_EQ(out.trimmed(), QByteArray(name) + " " + VELANTIS_VERSION);
            else
                EXPECT_TRUE(out.contains("--version")) << name << ": " << out.constData();
        }
    }
}

// Debian's checks of the package, its desktop entry and its AppStream metadata find nothing to
// complain of (lintian's informational tags are not shown by default).
TEST_F(PackageTest, PassesLintianDesktopAndAppStreamChecks) {
    QTemporaryDir root;
    ASSERT_EQ(Execute(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), *deb_, root.path()}).code,
              0);
    const struct {
        const char* program;
        QStringList args;
        bool infoAllowed; // lines other than errors and warnings may be printed
    } checks[] = {
        {"lintian", {QStringLiteral("--allow-root"), *deb_}, false},
        {"desktop-file-validate",
         {root.filePath(QStringLiteral("usr/share/applications/velantis.desktop"))},
         false},
        {"appstreamcli",
         {QStringLiteral("validate"), QStringLiteral("--no-net"), root.path() + MetaInfo},
         true},
    };
    QStringList missing;
    for (const auto& check : checks) {
        const QString program = QString::fromLatin1(check.program);
        if (QStandardPaths::findExecutable(program).isEmpty()) {
            missing << program;
            continue;
        }
        const Result r = Execute(program, check.args, 300000);
        QList<QByteArray> complaints;
        for (const QByteArray& line : (r.out + r.err).split('\n'))
            if (!line.trimmed().isEmpty() &&
                (!check.infoAllowed || line.startsWith("E:") || line.startsWith("W:")))
                complaints << line;
        EXPECT_EQ(r.code, 0) << check.program << ": " << (r.out + r.err).constData();
        EXPECT_TRUE(complaints.isEmpty()) << check.program << ":\n"
                                          << complaints.join('\n').constData();
    }
    if (!missing.isEmpty())
        GTEST_SKIP() << "not installed: " << qPrintable(missing.join(QStringLiteral(", ")));
}

// The compressed documents carry no file name or time (the same bytes from every build), the
// changelog and the AppStream release name this version, and the copyright file is in Debian's
// machine-readable format.
TEST_F(PackageTest, DocumentsAreReproducibleAndNameThisVersion) {
    QTemporaryDir root;
    ASSERT_EQ(Execute(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), *deb_, root.path()}).code,
              0);
    for (const char* path :
         {"usr/share/doc/velantis/changelog.gz", "usr/share/man/man1/velantis.1.gz",
          "usr/share/man/man1/velantis-cli.1.gz", "usr/share/man/man1/velantis-web.1.gz"}) {
        const QByteArray head = ReadAll(root.filePath(QLatin1String(path))).left(8);
        ASSERT_EQ(head.size(), 8) << path;
        EXPECT_TRUE(head.startsWith("\x1f\x8b\x08")) << path << ": not gzip";
        EXPECT_EQ(head[3] & 0x08, 0) << path << ": the file name is stored";
        EXPECT_EQ(head.mid(4, 4), QByteArray(4, '\0')) << path << ": a time is stored";
    }
    const Result changelog =
        Execute(QStringLiteral("gzip"),
                {QStringLiteral("-dc"),
                 root.filePath(QStringLiteral("usr/share/doc/velantis/changelog.gz"))});
    const QByteArray copyright =
        ReadAll(root.filePath(QStringLiteral("usr/share/doc/velantis/copyright")));
    const struct {
        const char* what;
        QByteArray text;
        QByteArray expected;
    } documents[] = {
        {"changelog", changelog.out.left(changelog.out.indexOf('\n') + 1),
         "velantis (" VELANTIS_VERSION ") unstable; urgency=low\n"},
        {"AppStream release", ReadAll(root.path() + MetaInfo),
         "<release version=\"" VELANTIS_VERSION "\""},
        {"copyright", copyright.left(copyright.indexOf('\n') + 1),
         "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"},
        {"copyright", copyright, "/usr/share/common-licenses/GPL-3"},
    };
    for (const auto& d : documents)
        EXPECT_TRUE(d.text.contains(d.expected)) << d.what << " lacks " << d.expected.constData();
}

} // namespace
