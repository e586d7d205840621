// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "archive/server_archive.h"

#include <QDialog>

#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStackedWidget;

namespace velantis {

class FileDialogs;
class ServerSession;

// The department server as 文件 → 服务器… asks for it: an address (host, port, database, user,
// TLS mode and the root certificate to check the server by), a service name of the
// connection service file, or a libpq connection string as it is.
struct ServerFields {
    enum class Kind { Address, Service, Raw };
    Kind kind = Kind::Address;
    QString host{};
    QString port{};
    QString database{};
    QString user{};
    QString sslMode = QStringLiteral("verify-full");
    QString rootCert{};
    QString service{};
    QString raw{};
    bool operator==(const ServerFields&) const = default;
};

// The TLS modes offered, the strictest (and the default) last.
inline const QStringList SslModes = {QStringLiteral("disable"), QStringLiteral("prefer"),
                                     QStringLiteral("require"), QStringLiteral("verify-ca"),
                                     QStringLiteral("verify-full")};

// A value as libpq reads it in a connection string: in single quotes, with ' and \ escaped,
// when it is empty or holds a space, a quote or a backslash; as it is otherwise.
QString ConnValue(const QString& value);
// The connection string of the fields: empty fields left out, a file name with / for \.
QString ConnectionString(const ServerFields& fields);
// The fields a connection string was built from; one the dialog could not have built (other
// keywords, a URI, text it cannot read) comes back as Raw, as it is.
ServerFields FieldsOf(const QString& connInfo);

// The password file libpq reads: PGPASSFILE when set, else ~/.pgpass, on Windows
// %APPDATA%/postgresql/pgpass.conf.
QString PasswordFilePath(const QString& pgpassfile, bool windows, const QString& home,
                         const QString& appData);
QString PasswordFilePath();
// The password file's line for the connection: host:port:database:user:password, with each
// colon and backslash escaped by a backslash. What the connection does not name is libpq's default
// (localhost, 5432, the user's name as database, the login name as user); under a service name,
// whatever the service file names matches (*).
QString PasswordLine(const QString& connInfo, const QString& password, const QString& loginName);
// Appends the line to the password file (made, with its folder, when there is none), readable
// and writable by its owner only (libpq ignores a file others can read). The file is replaced
// whole, so that a failure leaves it as it was; false with the reason then.
bool AddPasswordLine(const QString& path, const QString& line, QString* why);

// 文件 → 服务器…: where the department's server is. 测试连接 connects on a thread of its own
// (the window never waits for the server) and shows the server's version, the schema version and
// the role's rights, or why it could not connect. When the server asks for a password that the
// password file does not hold, the dialog asks for it and offers to add it to that file; the
// settings never hold it. OK keeps the connection string (RememberServer); Cancel leaves,
// whether or not a test is under way.
class ServerDialog final : public QDialog {
    Q_OBJECT
public:
    ServerDialog(const QString& connInfo, FileDialogs& dialogs, QWidget* parent = nullptr);
    ~ServerDialog() override;

    ServerFields fields() const;
    void setFields(const ServerFields& fields);
    QString connectionString() const;
    // The password typed in this dialog (for this run only, unless written to the file).
    QString password() const;
    // What the status line says now.
    QString status() const;
    bool testing() const { return session_ != nullptr; }
    // Where a password goes when 保存密码 is ticked (PasswordFilePath() unless set).
    void setPasswordFile(const QString& path);

    void testConnection();

signals:
    // 测试连接 ended: connected or not.
    void tested(bool connected);

public slots:
    // Writes the password to the password file first when asked to; stays open when it cannot.
    void accept() override;

private:
    void showKind();
    void showString();
    void chooseRootCert();
    void showResult(bool ok, const ServerInfo& info, const ServerError& error);

    FileDialogs& dialogs_;
    QComboBox* kind_;
    QStackedWidget* pages_;
    QLineEdit* host_;
    QLineEdit* port_;
    QLineEdit* database_;
    QLineEdit* user_;
    QComboBox* sslMode_;
    QLineEdit* rootCert_;
    QLineEdit* service_;
    QLineEdit* raw_;
    QLabel* string_;
    QLabel* passwordLabel_;
    QLineEdit* password_;
    QCheckBox* savePassword_;
    QLabel* status_;
    QProgressBar* progress_;
    QPushButton* test_;
    std::unique_ptr<ServerSession> session_;
    int testNumber_ = 0;
    QString passwordFile_;
};

} // namespace velantis
