#include "app/AboutDialog.h"
#include "app/CoreText.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString firstString(const QJsonObject& object, std::initializer_list<const char*> keys) {
    for (const char* key : keys) {
        const QJsonValue value = object.value(QLatin1String(key));
        if (value.isString())
            return value.toString();
        if (value.isArray() && !value.toArray().isEmpty() && value.toArray().first().isString())
            return value.toArray().first().toString();
    }
    return {};
}

} // namespace

std::vector<AboutDialog::Component> AboutDialog::shippedComponents(const std::filesystem::path& licensesFolder) {
    const QString folder = QString::fromStdString(licensesFolder.string());
    std::vector<Component> listed;
    QFile index(folder + QStringLiteral("/index.json"));
    if (index.open(QIODevice::ReadOnly)) {
        const QJsonDocument document = QJsonDocument::fromJson(index.read(1 << 20));
        // Either a list of entries or an object holding one under a key, or named by component.
        QJsonArray entries = document.array();
        if (document.isObject()) {
            const QJsonObject root = document.object();
            for (const char* key : {"components", "licenses", "licences", "entries"})
                if (root.value(QLatin1String(key)).isArray())
                    entries = root.value(QLatin1String(key)).toArray();
            if (entries.isEmpty())
                for (auto it = root.begin(); it != root.end(); ++it)
                    if (it.value().isObject()) {
                        QJsonObject entry = it.value().toObject();
                        entry.insert(QStringLiteral("name"), it.key());
                        entries.append(entry);
                    }
        }
        for (const QJsonValue& value : entries) {
            const QJsonObject entry = value.toObject();
            Component component{firstString(entry, {"name", "component", "title"}),
                                firstString(entry, {"version"}), // the tools' own come from the facts

                                firstString(entry, {"license", "licence", "spdx", "spdx_id"}),
                                firstString(entry, {"file", "path", "files", "text"})};
            if (component.name.isEmpty())
                continue;
            if (!component.file.isEmpty() && QFileInfo(component.file).isRelative())
                component.file = folder + QLatin1Char('/') + component.file;
            if (!component.file.isEmpty() && !QFileInfo::exists(component.file))
                component.file.clear();
            listed.push_back(component);
        }
    }
    const Component fixed[] = {{QStringLiteral("yt-dlp"), {}, QStringLiteral("Unlicense"), {}},
                               {QStringLiteral("FFmpeg"), {}, QStringLiteral("GPL-2.0-or-later"), {}},
                               {QStringLiteral("deno"), {}, QStringLiteral("MIT"), {}},
                               {QStringLiteral("Qt"), {}, QStringLiteral("LGPL-3.0"), {}}};
    std::vector<Component> result;
    for (const Component& known : fixed) {
        Component component = known;
        for (const Component& entry : listed)
            if (entry.name.compare(known.name, Qt::CaseInsensitive) == 0) {
                if (!entry.licence.isEmpty())
                    component.licence = entry.licence;
                component.file = entry.file;
            }
        result.push_back(component);
    }
    for (const Component& entry : listed) {
        const bool known = std::any_of(std::begin(fixed), std::end(fixed), [&](const Component& c) {
            return c.name.compare(entry.name, Qt::CaseInsensitive) == 0;
        });
        if (!known && entry.name.compare(QLatin1String("Tallowin"), Qt::CaseInsensitive) != 0)
            result.push_back(entry);
    }
    return result;
}

AboutDialog::AboutDialog(Facts facts, QWidget* parent) : QDialog(parent), m_facts(std::move(facts)) {
    if (!m_facts.open)
        m_facts.open = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(tr("About Tallowin"));
    setWindowIcon(QApplication::windowIcon());

    m_components = shippedComponents(m_facts.licensesFolder);
    for (Component& component : m_components) {
        if (component.name == QLatin1String("yt-dlp"))
            component.version = qs(m_facts.ytdlp);
        else if (component.name == QLatin1String("FFmpeg"))
            component.version = qs(m_facts.ffmpeg);
        else if (component.name == QLatin1String("deno"))
            component.version = qs(m_facts.deno);
        else if (component.name == QLatin1String("Qt"))
            component.version = QString::fromLatin1(qVersion());
    }

    auto* root = new QVBoxLayout(this);
    root->setSpacing(12);
    auto* head = new QHBoxLayout;
    head->setSpacing(16);
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("aboutIcon"));
    icon->setPixmap(QApplication::windowIcon().pixmap(64, 64));
    icon->setFixedSize(64, 64);
    icon->setAccessibleName(tr("Tallowin icon"));
    head->addWidget(icon, 0, Qt::AlignTop);
    auto* titles = new QVBoxLayout;
    auto* name = new QLabel(tr("Tallowin"), this);
    QFont big = name->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    name->setFont(big);
    auto* version = new QLabel(tr("Version %1").arg(m_facts.version), this);
    version->setObjectName(QStringLiteral("aboutVersion"));
    version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    titles->addWidget(name);
    titles->addWidget(version);
    head->addLayout(titles, 1);
    root->addLayout(head);

    auto* what = new QLabel(tr("Saves a video from a link as one file that plays, with yt-dlp, ffprobe, ffmpeg and "
                               "deno shipped in its own folder."),
                            this);
    what->setWordWrap(true);
    root->addWidget(what);
    auto* licence = new QLabel(tr("Tallowin is free software under the MIT License."), this);
    licence->setObjectName(QStringLiteral("aboutLicence"));
    licence->setWordWrap(true);
    root->addWidget(licence);

    auto* shippedTitle = new QLabel(tr("Shipped with"), this);
    QFont bold = shippedTitle->font();
    bold.setBold(true);
    shippedTitle->setFont(bold);
    root->addWidget(shippedTitle);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(4);
    int row = 0;
    for (const Component& component : m_components) {
        grid->addWidget(new QLabel(component.name, this), row, 0);
        auto* versionCell = new QLabel(component.version.isEmpty() ? tr("unknown") : component.version, this);
        versionCell->setObjectName(QStringLiteral("aboutVersion_") + component.name);
        grid->addWidget(versionCell, row, 1);
        auto* licenceCell = new QLabel(this);
        licenceCell->setObjectName(QStringLiteral("aboutLicence_") + component.name);
        if (component.file.isEmpty()) {
            licenceCell->setTextFormat(Qt::PlainText);
            licenceCell->setText(component.licence);
        } else {
            licenceCell->setTextFormat(Qt::RichText);
            licenceCell->setText(QStringLiteral("<a href=\"%1\">%2</a>")
                                     .arg(QUrl::fromLocalFile(component.file).toString(QUrl::FullyEncoded),
                                          component.licence.toHtmlEscaped()));
            licenceCell->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
            licenceCell->setAccessibleName(tr("%1 licence: %2").arg(component.name, component.licence));
            connect(licenceCell, &QLabel::linkActivated, this, &AboutDialog::openLink);
        }
        grid->addWidget(licenceCell, row, 2);
        ++row;
    }
    grid->setColumnStretch(3, 1);
    root->addLayout(grid);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    const QString folder = QString::fromStdString(m_facts.licensesFolder.string());
    QPushButton* texts = buttons->addButton(tr("&Licence Texts…"), QDialogButtonBox::ActionRole);
    texts->setObjectName(QStringLiteral("licenceTextsButton"));
    texts->setAutoDefault(false);
    texts->setEnabled(QFileInfo(folder).isDir());
    connect(texts, &QPushButton::clicked, this, [this, folder] { openLink(QUrl::fromLocalFile(folder).toString()); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    root->addWidget(buttons);
    buttons->button(QDialogButtonBox::Close)->setDefault(true);
    buttons->button(QDialogButtonBox::Close)->setFocus();
    // Wide enough that the sentences read as lines, not as a column.
    what->setMinimumWidth(fontMetrics().averageCharWidth() * 60);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void AboutDialog::openLink(const QString& link) {
    const QUrl url(link);
    if (m_facts.open(url))
        return;
    auto* box = new QMessageBox(QMessageBox::Warning,
                                tr("About Tallowin"),
                                tr("Could not open %1.").arg(url.isLocalFile() ? url.toLocalFile() : link),
                                QMessageBox::Ok,
                                this);
    box->setObjectName(QStringLiteral("openFailed"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
