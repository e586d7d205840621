// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/server_dialog.h"

#include "windows/server_history.h"
#include "windows/window_services.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace velantis {

namespace {

bool IsSpace(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
           c == QLatin1Char('\r');
}

using ConnPairs = QList<std::pair<QString, QString>>;

// keyword = value pairs of a connection string in their order; nothing when it cannot be read
// (a URI, a keyword without a value, an open quote).
std::optional<ConnPairs> ParseConnInfo(const QString& text) {
    ConnPairs pairs;
    qsizetype i = 0;
    const qsizetype n = text.size();
    const auto skipSpace = [&] {
        while (i < n && IsSpace(text[i]))
            ++i;
    };
    while (true) {
        skipSpace();
        if (i == n)
            return pairs;
        QString key;
        while (i < n && text[i] != QLatin1Char('=') && !IsSpace(text[i]))
            key += text[i++];
        skipSpace();
        if (key.isEmpty() || i == n || text[i] != QLatin1Char('='))
            return std::nullopt;
        ++i;
        skipSpace();
        QString value;
        if (i < n && text[i] == QLatin1Char('\'')) {
            ++i;
            bool closed = false;
            while (i < n) {
                if (text[i] == QLatin1Char('\\') && i + 1 < n) {
                    value += text[i + 1];
                    i += 2;
                } else if (text[i] == QLatin1Char('\'')) {
                    ++i;
                    closed = true;
                    break;
                } else {
                    value += text[i++];
                }
            }
            if (!closed)
                return std::nullopt;
        } else {
            while (i < n && !IsSpace(text[i])) {
                if (text[i] == QLatin1Char('\\') && i + 1 < n)
                    ++i;
                value += text[i++];
            }
        }
        pairs.append({key, value});
    }
}

QString PassField(const QString& value) {
    QString escaped = value;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char(':'), QLatin1String("\\:"));
    return escaped;
}

// A file name as libpq takes it everywhere: a Windows path (drive or network share) with /.
QString ForwardSlashes(const QString& path) {
    QString p = QDir::fromNativeSeparators(path);
    const bool windows = (p.size() > 2 && p[0].isLetter() && p[1] == QLatin1Char(':')) ||
                         p.startsWith(QLatin1String("\\\\"));
    if (windows)
        p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return p;
}

QLineEdit* Field(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

} // namespace

QString ConnValue(const QString& value) {
    const bool plain = !value.isEmpty() && std::none_of(value.cbegin(), value.cend(), [](QChar c) {
        return IsSpace(c) || c == QLatin1Char('\'') || c == QLatin1Char('\\');
    });
    if (plain)
        return value;
    QString quoted = value;
    quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    quoted.replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString ConnectionString(const ServerFields& f) {
    switch (f.kind) {
    case ServerFields::Kind::Raw:
        return f.raw.trimmed();
    case ServerFields::Kind::Service:
        return QStringLiteral("service=") + ConnValue(f.service.trimmed());
    case ServerFields::Kind::Address:
        break;
    }
    const std::pair<const char*, QString> pairs[] = {
        {"host", f.host.trimmed()},       {"port", f.port.trimmed()},
        {"dbname", f.database.trimmed()}, {"user", f.user.trimmed()},
        {"sslmode", f.sslMode},           {"sslrootcert", ForwardSlashes(f.rootCert.trimmed())}};
    QStringList parts;
    for (const auto& [key, value] : pairs) {
        if (!value.isEmpty())
            parts << QString::fromLatin1(key) + QLatin1Char('=') + ConnValue(value);
    }
    return parts.join(QLatin1Char(' '));
}

ServerFields FieldsOf(const QString& connInfo) {
    ServerFields fields;
    const auto pairs = ParseConnInfo(connInfo);
    const auto raw = [&] {
        ServerFields r;
        r.kind = ServerFields::Kind::Raw;
        r.raw = connInfo.trimmed();
        return r;
    };
    if (!pairs || pairs->isEmpty())
        return connInfo.trimmed().isEmpty() ? fields : raw();
    if (pairs->size() == 1 && pairs->first().first == QLatin1String("service")) {
        fields.kind = ServerFields::Kind::Service;
        fields.service = pairs->first().second;
        return fields;
    }
    QString ServerFields::*const members[] = {&ServerFields::host,     &ServerFields::port,
                                              &ServerFields::database, &ServerFields::user,
                                              &ServerFields::sslMode,  &ServerFields::rootCert};
    const char* const keys[] = {"host", "port", "dbname", "user", "sslmode", "sslrootcert"};
    fields.sslMode.clear();
    QStringList seen;
    for (const auto& [key, value] : *pairs) {
        const auto at = std::find_if(std::begin(keys), std::end(keys),
                                     [&key](const char* k) { return key == QLatin1String(k); });
        if (at == std::end(keys) || seen.contains(key))
            return raw();
        seen << key;
        fields.*members[at - std::begin(keys)] = value;
    }
    // A mode the dialog does not offer (allow) or none given (libpq's prefer) is kept as written.
    if (!SslModes.contains(fields.sslMode))
        return raw();
    return fields;
}

QString PasswordFilePath(const QString& pgpassfile, bool windows, const QString& home,
                         const QString& appData) {
    if (!pgpassfile.isEmpty())
        return pgpassfile;
    if (windows)
        return QDir::fromNativeSeparators(appData) + QStringLiteral("/postgresql/pgpass.conf");
    return QDir::fromNativeSeparators(home) + QStringLiteral("/.pgpass");
}

QString PasswordFilePath() {
    return PasswordFilePath(qEnvironmentVariable("PGPASSFILE"),
                            QSysInfo::productType() == QLatin1String("windows"), QDir::homePath(),
                            qEnvironmentVariable("APPDATA"));
}

QString PasswordLine(const QString& connInfo, const QString& password, const QString& loginName) {
    QHash<QString, QString> given;
    for (const auto& [key, value] : ParseConnInfo(connInfo).value_or(ConnPairs{}))
        given.insert(key, value);
    const bool service = given.contains(QStringLiteral("service"));
    const QString any = QStringLiteral("*");
    QString host = given.value(QStringLiteral("host"), service ? any : QStringLiteral("localhost"));
    if (host.startsWith(QLatin1Char('/'))) // a socket folder: the file says localhost for it
        host = QStringLiteral("localhost");
    const QString port =
        given.value(QStringLiteral("port"), service ? any : QStringLiteral("5432"));
    const QString user = given.value(QStringLiteral("user"), service ? any : loginName);
    const QString database = given.value(QStringLiteral("dbname"), service ? any : user);
    const auto field = [&any](const QString& value) {
        return value == any ? any : PassField(value);
    };
    return QStringList{field(host), field(port), field(database), field(user), PassField(password)}
        .join(QLatin1Char(':'));
}

bool AddPasswordLine(const QString& path, const QString& line, QString* why) {
    const auto fail = [why](const QString& reason) {
        if (why)
            *why = reason;
        return false;
    };
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        return fail(QCoreApplication::translate("velantis::ServerDialog", "无法建立文件夹 %1")
                        .arg(QDir::toNativeSeparators(info.absolutePath())));
    QByteArray bytes;
    if (info.exists()) {
        QFile old(path);
        if (!old.open(QIODevice::ReadOnly))
            return fail(old.errorString());
        bytes = old.readAll();
        if (old.error() != QFileDevice::NoError)
            return fail(old.errorString());
        if (!bytes.isEmpty() && !bytes.endsWith('\n'))
            bytes += '\n';
    }
    bytes += line.toUtf8() + '\n';
    const QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    // The new file is the owner's alone before the password is in it.
    if (!file.setPermissions(ownerOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fail(reason);
    }
    return true;
}

ServerDialog::ServerDialog(const QString& connInfo, FileDialogs& dialogs, QWidget* parent)
    : QDialog(parent), dialogs_(dialogs), passwordFile_(PasswordFilePath()) {
    setObjectName(QStringLiteral("serverDialog"));
    setWindowTitle(tr("服务器"));

    kind_ = new QComboBox(this);
    kind_->setObjectName(QStringLiteral("kind"));
    kind_->addItems({tr("服务器地址"), tr("服务名 (pg_service.conf)"), tr("连接字符串")});

    pages_ = new QStackedWidget(this);
    auto* address = new QWidget(pages_);
    auto* addressForm = new QFormLayout(address);
    addressForm->setContentsMargins(0, 0, 0, 0);
    host_ = Field(address, "host");
    port_ = Field(address, "port");
    port_->setPlaceholderText(QStringLiteral("5432"));
    database_ = Field(address, "dbname");
    user_ = Field(address, "user");
    sslMode_ = new QComboBox(address);
    sslMode_->setObjectName(QStringLiteral("sslmode"));
    sslMode_->addItems(SslModes);
    rootCert_ = Field(address, "sslrootcert");
    auto* browse = new QPushButton(tr("浏览…"), address);
    connect(browse, &QPushButton::clicked, this, &ServerDialog::chooseRootCert);
    auto* certRow = new QHBoxLayout;
    certRow->addWidget(rootCert_, 1);
    certRow->addWidget(browse);
    addressForm->addRow(tr("主机"), host_);
    addressForm->addRow(tr("端口"), port_);
    addressForm->addRow(tr("数据库"), database_);
    addressForm->addRow(tr("用户"), user_);
    addressForm->addRow(tr("SSL 模式"), sslMode_);
    addressForm->addRow(tr("根证书"), certRow);
    pages_->addWidget(address);
    auto* servicePage = new QWidget(pages_);
    auto* serviceForm = new QFormLayout(servicePage);
    serviceForm->setContentsMargins(0, 0, 0, 0);
    service_ = Field(servicePage, "service");
    serviceForm->addRow(tr("服务名"), service_);
    pages_->addWidget(servicePage);
    auto* rawPage = new QWidget(pages_);
    auto* rawForm = new QFormLayout(rawPage);
    rawForm->setContentsMargins(0, 0, 0, 0);
    raw_ = Field(rawPage, "conninfo");
    raw_->setPlaceholderText(QStringLiteral("host=... dbname=... user=... sslmode=verify-full"));
    rawForm->addRow(tr("连接字符串"), raw_);
    pages_->addWidget(rawPage);

    string_ = new QLabel(this);
    string_->setObjectName(QStringLiteral("connectionString"));
    string_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    string_->setWordWrap(true);

    passwordLabel_ = new QLabel(tr("密码"), this);
    password_ = Field(this, "password");
    password_->setEchoMode(QLineEdit::Password);
    savePassword_ = new QCheckBox(this);
    savePassword_->setObjectName(QStringLiteral("savePassword"));
    setPasswordFile(passwordFile_);
    for (QWidget* w : std::initializer_list<QWidget*>{passwordLabel_, password_, savePassword_})
        w->hide(); // until the server asks for a password

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("status"));
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    status_->setMinimumHeight(status_->fontMetrics().lineSpacing() * 4);
    status_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setRange(0, 0); // busy: how long the server takes is not known
    progress_->setTextVisible(false);
    progress_->hide();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    test_ = buttons->addButton(tr("测试连接"), QDialogButtonBox::ActionRole);
    test_->setObjectName(QStringLiteral("testConnectionButton"));
    connect(test_, &QPushButton::clicked, this, &ServerDialog::testConnection);
    connect(buttons, &QDialogButtonBox::accepted, this, &ServerDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ServerDialog::reject);

    auto* top = new QFormLayout;
    top->addRow(tr("连接方式"), kind_);
    auto* passwordRow = new QHBoxLayout;
    passwordRow->addWidget(passwordLabel_);
    passwordRow->addWidget(password_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(pages_);
    layout->addWidget(string_);
    layout->addLayout(passwordRow);
    layout->addWidget(savePassword_);
    layout->addWidget(status_);
    layout->addWidget(progress_);
    layout->addWidget(buttons);
    resize(520, sizeHint().height());

    setFields(FieldsOf(connInfo));
    connect(kind_, &QComboBox::currentIndexChanged, this, &ServerDialog::showKind);
    for (QLineEdit* edit : {host_, port_, database_, user_, rootCert_, service_, raw_})
        connect(edit, &QLineEdit::textChanged, this, &ServerDialog::showString);
    connect(sslMode_, &QComboBox::currentIndexChanged, this, &ServerDialog::showString);
}

ServerDialog::~ServerDialog() = default;

void ServerDialog::setPasswordFile(const QString& path) {
    passwordFile_ = path;
    savePassword_->setText(tr("保存到密码文件 %1").arg(QDir::toNativeSeparators(path)));
}

ServerFields ServerDialog::fields() const {
    ServerFields f;
    f.kind = static_cast<ServerFields::Kind>(kind_->currentIndex());
    f.host = host_->text();
    f.port = port_->text();
    f.database = database_->text();
    f.user = user_->text();
    f.sslMode = sslMode_->currentText();
    f.rootCert = rootCert_->text();
    f.service = service_->text();
    f.raw = raw_->text();
    return f;
}

void ServerDialog::setFields(const ServerFields& f) {
    kind_->setCurrentIndex(static_cast<int>(f.kind));
    host_->setText(f.host);
    port_->setText(f.port);
    database_->setText(f.database);
    user_->setText(f.user);
    sslMode_->setCurrentText(SslModes.contains(f.sslMode) ? f.sslMode : SslModes.last());
    rootCert_->setText(QDir::toNativeSeparators(f.rootCert));
    service_->setText(f.service);
    raw_->setText(f.raw);
    showKind();
}

QString ServerDialog::connectionString() const {
    return ConnectionString(fields());
}

QString ServerDialog::password() const {
    return password_->text();
}

QString ServerDialog::status() const {
    return status_->text();
}

void ServerDialog::showKind() {
    pages_->setCurrentIndex(kind_->currentIndex());
    showString();
}

void ServerDialog::showString() {
    string_->setText(connectionString());
}

void ServerDialog::chooseRootCert() {
    const QString path = dialogs_.openFileName(
        this, rootCert_->text(), {tr("证书 (*.crt *.pem) (*.crt *.pem)"), tr("所有文件 (*) (*)")});
    if (!path.isEmpty())
        rootCert_->setText(QDir::toNativeSeparators(path));
}

void ServerDialog::testConnection() {
    struct Tested {
        bool ok = false;
        ServerInfo info;
        ServerError error;
        QString where;
    };
    const int number = ++testNumber_;
    // A test under way is let go: its answer is dropped.
    session_ = std::make_unique<ServerSession>(connectionString(), password());
    session_->call<Tested>(
        [](ServerArchive& archive) {
            Tested t;
            t.where = archive.where();
            t.ok = archive.connect(&t.error) && archive.info(&t.info, &t.error);
            return t;
        },
        this,
        [this, number](const Tested& t) {
            if (number != testNumber_)
                return;
            session_.reset();
            progress_->hide();
            test_->setEnabled(true);
            test_->setFocus(); // where it was: Enter must not land on Cancel
            if (!t.ok && t.error.reason == ServerError::Reason::PasswordNeeded) {
                for (QWidget* w :
                     std::initializer_list<QWidget*>{passwordLabel_, password_, savePassword_})
                    w->show();
                password_->setFocus();
                status_->setText(
                    tr("服务器 %1 要求密码，密码文件 %2 中没有：请输入密码，再按 测试连接。")
                        .arg(t.where, QDir::toNativeSeparators(passwordFile_)));
            } else if (t.ok) {
                QStringList rights;
                const std::pair<bool, const char*> named[] = {
                    {t.info.canSelect, QT_TR_NOOP("读取")},
                    {t.info.canInsert, QT_TR_NOOP("添加")},
                    {t.info.canUpdate, QT_TR_NOOP("修改")},
                    {t.info.canDelete, QT_TR_NOOP("删除")}};
                for (const auto& [has, name] : named) {
                    if (has)
                        rights << tr(name);
                }
                QString text =
                    tr("已连接 %1\nPostgreSQL %2，数据库结构版本 %3\n用户 %4，权限：%5")
                        .arg(t.where, t.info.serverVersion)
                        .arg(t.info.schemaVersion)
                        .arg(t.info.user, rights.isEmpty() ? tr("无") : rights.join(tr("、")));
                if (t.info.readOnly)
                    text += QLatin1Char('\n') +
                            tr("服务器的数据库结构来自更新版本的程序：只能浏览，不能发送或修改。");
                status_->setText(text);
            } else {
                status_->setText(tr("无法连接 %1：\n%2").arg(t.where, t.error.text()));
            }
            emit tested(t.ok);
        });
    status_->setText(tr("正在连接…"));
    progress_->show();
    test_->setEnabled(false);
}

void ServerDialog::accept() {
    if (!savePassword_->isHidden() && savePassword_->isChecked() && !password().isEmpty()) {
        QString why;
        const QString login = qEnvironmentVariable(
            "USER", qEnvironmentVariable("USERNAME", qEnvironmentVariable("LOGNAME")));
        if (!AddPasswordLine(passwordFile_, PasswordLine(connectionString(), password(), login),
                             &why)) {
            status_->setText(tr("密码未能写入 %1，文件未作改动：\n%2")
                                 .arg(QDir::toNativeSeparators(passwordFile_), why));
            return;
        }
    }
    QDialog::accept();
}

} // namespace velantis
