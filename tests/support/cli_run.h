// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// velantis-cli run from a test, in the C locale (whatever the tests were started in).

#include <QProcess>

#include <gtest/gtest.h>

#include <memory>

namespace velantis::testing {

// The words of a command line, split at spaces.
inline QStringList Args(const char* words) {
    return QString::fromUtf8(words).split(u' ', Qt::SkipEmptyParts);
}

struct CliRun {
    int code = -1;
    QByteArray out;
    QString err;
    QString text() const { return QString::fromUtf8(out) + err; } // both, as one
};

// home, when given, is the program's HOME and settings folder (home/.config): nothing remembered
// but what a test puts there. password is PGPASSWORD.
struct CliEnv {
    QString home;
    QString password;
};

// Started, for runs at the same time; FinishCli waits for it and deletes it.
inline QProcess* StartCli(const QStringList& args, const CliEnv& given = {}) {
    auto* p = new QProcess;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANGUAGE"})
        env.remove(QLatin1String(name));
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    if (!given.home.isEmpty()) {
        env.insert(QStringLiteral("HOME"), given.home);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), given.home + QStringLiteral("/.config"));
    }
    if (!given.password.isEmpty())
        env.insert(QStringLiteral("PGPASSWORD"), given.password);
    p->setProcessEnvironment(env);
    p->start(QStringLiteral(VELANTIS_CLI), args);
    return p;
}

inline CliRun FinishCli(QProcess* started) {
    const std::unique_ptr<QProcess> p(started);
    if (!p->waitForFinished(120000) || p->exitStatus() != QProcess::NormalExit) {
        ADD_FAILURE() << "did not end: " << p->arguments().join(u' ').toStdString();
        return {};
    }
    return {p->exitCode(), p->readAllStandardOutput(),
            QString::fromUtf8(p->readAllStandardError())};
}

inline CliRun RunCli(const QStringList& args, const CliEnv& env = {}) {
    return FinishCli(StartCli(args, env));
}

} // namespace velantis::testing
