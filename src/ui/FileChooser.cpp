#include "ui/FileChooser.h"

#include "common/TextCodec.h"

#include <QCollator>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <mutex>
#include <pthread.h>
#include <sys/stat.h>
#include <thread>
#include <utility>

namespace {

// Qt's own texts, so that its translations (loaded for the program's language) apply.
QString qtText(const char *text)
{
    return QCoreApplication::translate("QFileDialog", text);
}

constexpr int EntryRole = Qt::UserRole;

} // namespace

struct FileChooser::Job {
    std::mutex mutex;
    FileChooser *owner = nullptr; // cleared under the mutex when the answer is not wanted
};

FileChooser::FileChooser(QWidget *parent, const QString &folder, const QString &filter)
    : FileChooser(parent, QStringList{folder}, filter)
{
}

FileChooser::FileChooser(QWidget *parent, const QStringList &folders, const QString &filter)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("fileChooser"));
    setWindowTitle(qtText("Open"));
    resize(560, 420);

    auto *lookIn = new QLabel(qtText("Look in:"), this);
    lookIn->setObjectName(QStringLiteral("fileChooserLookIn"));
    folderLine_ = new QLineEdit(this);
    folderLine_->setObjectName(QStringLiteral("fileChooserFolder"));
    folderLine_->setReadOnly(true);
    folderLine_->setFocusPolicy(Qt::ClickFocus);
    auto *up = new QToolButton(this);
    up->setObjectName(QStringLiteral("fileChooserUp"));
    up->setIcon(style()->standardIcon(QStyle::SP_FileDialogToParent));
    up->setToolTip(qtText("Parent Directory"));
    up->setAutoRaise(true);
    auto *top = new QHBoxLayout;
    top->addWidget(lookIn);
    top->addWidget(folderLine_, 1);
    top->addWidget(up);

    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("fileChooserList"));
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setUniformItemSizes(true);
    list_->installEventFilter(this);

    nameLine_ = new QLineEdit(this);
    nameLine_->setObjectName(QStringLiteral("fileChooserPath"));
    nameLine_->installEventFilter(this);
    auto *nameLabel = new QLabel(qtText("File &name:"), this);
    nameLabel->setObjectName(QStringLiteral("fileChooserNameLabel"));
    nameLabel->setBuddy(nameLine_);
    types_ = new QComboBox(this);
    types_->setObjectName(QStringLiteral("fileChooserFilter"));
    // The program's lists run to some thirty patterns: they must not widen the dialog.
    types_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    types_->setMinimumContentsLength(24);
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString &pattern : patterns)
            pattern = pattern.trimmed();
        types_->addItem(parts.at(i) + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')'));
        typePatterns_.append(patterns);
    }
    types_->addItem(qtText("All Files (*)"));
    typePatterns_.append(QStringList{QStringLiteral("*")});
    auto *typesLabel = new QLabel(qtText("Files of type:"), this);
    typesLabel->setObjectName(QStringLiteral("fileChooserTypeLabel"));
    typesLabel->setBuddy(types_);
    auto *grid = new QGridLayout;
    grid->addWidget(nameLabel, 0, 0);
    grid->addWidget(nameLine_, 0, 1);
    grid->addWidget(typesLabel, 1, 0);
    grid->addWidget(types_, 1, 1);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("fileChooserStatus"));
    status_->setWordWrap(true);
    status_->setTextFormat(Qt::PlainText);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Open | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("fileChooserButtons"));
    buttons->button(QDialogButtonBox::Open)->setDefault(true);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(list_, 1);
    layout->addLayout(grid);
    layout->addWidget(status_);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &FileChooser::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &FileChooser::reject);
    connect(up, &QToolButton::clicked, this, &FileChooser::goUp);
    connect(list_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem *item) {
        list_->setCurrentItem(item, QItemSelectionModel::ClearAndSelect);
        accept();
    });
    connect(list_, &QListWidget::itemSelectionChanged, this, &FileChooser::selectionChanged);
    connect(nameLine_, &QLineEdit::textEdited, this, [this] { lineShowsSelection_ = false; });
    connect(types_, &QComboBox::currentIndexChanged, this, [this](int index) {
        setPatterns(index);
        showRows();
    });

    setPatterns(0);
    list_->setFocus();
    QStringList candidates;
    for (const QString &folder : folders)
        if (!folder.isEmpty())
            candidates.append(QDir::cleanPath(folder));
    candidates.append(QDir::homePath());
    request(candidates, false);
}

FileChooser::~FileChooser()
{
    if (job_) {
        std::lock_guard lock(job_->mutex);
        job_->owner = nullptr;
    }
}

QString FileChooser::shownName(const QString &name)
{
    QString shown = name;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const QChar c = shown.at(i);
        // A low surrogate that follows a high one is half of a real character.
        if (c.isLowSurrogate() && !(i > 0 && shown.at(i - 1).isHighSurrogate()))
            shown[i] = QChar::ReplacementCharacter;
        else if (c.isHighSurrogate() && !(i + 1 < shown.size() && shown.at(i + 1).isLowSurrogate()))
            shown[i] = QChar::ReplacementCharacter;
    }
    return shown;
}

FileChooser::Listing FileChooser::read(const QByteArray &path)
{
    Listing listing;
    DIR *dir = ::opendir(path.constData());
    if (!dir) {
        listing.error = errno;
        struct stat st {};
        if (listing.error == ENOTDIR && ::stat(path.constData(), &st) == 0)
            listing.kind = Listing::Kind::File;
        return listing;
    }
    listing.kind = Listing::Kind::Folder;
    const int fd = ::dirfd(dir);
    while (const dirent *e = ::readdir(dir)) {
        if (e->d_name[0] == '.') // hidden, "." and ".." too
            continue;
        bool folder = e->d_type == DT_DIR;
        if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) {
            struct stat st {};
            folder = ::fstatat(fd, e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        Entry entry;
        entry.name = text_codec::decodeFileName(QByteArray(e->d_name));
        entry.shown = shownName(entry.name);
        entry.folder = folder;
        listing.entries.append(std::move(entry));
    }
    ::closedir(dir);
    // Qt's collator compares the C locale's strings as they are: "10" before "9".
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English);
    QCollator collator(locale);
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(listing.entries.begin(), listing.entries.end(), [&collator](const Entry &a, const Entry &b) {
        if (a.folder != b.folder)
            return a.folder;
        const int order = collator.compare(a.shown, b.shown);
        return order != 0 ? order < 0 : a.name < b.name;
    });
    return listing;
}

void FileChooser::request(const QString &path, bool typed)
{
    request(QStringList{path}, typed);
}

void FileChooser::request(const QStringList &paths, bool typed)
{
    if (job_) {
        std::lock_guard lock(job_->mutex);
        job_->owner = nullptr;
    }
    job_ = std::make_shared<Job>();
    job_->owner = this;
    if (!typed) {
        // A folder that takes its time shows as empty, not as the one left.
        folder_ = paths.first();
        folderLine_->setText(shownName(folder_));
        list_->clear();
        entries_.clear();
    }
    status_->clear();
    std::thread([job = job_, paths, typed] {
        pthread_setname_np(pthread_self(), "folder list");
        QString path = paths.first();
        Listing listing;
        for (const QString &candidate : paths) {
            Listing got = FileChooser::read(text_codec::encodeFileName(candidate));
            const bool wins = typed ? got.kind != Listing::Kind::Failed : got.kind == Listing::Kind::Folder;
            if (wins || candidate == paths.first()) {
                path = candidate;
                listing = std::move(got);
            }
            if (wins)
                break;
            std::lock_guard lock(job->mutex);
            if (!job->owner)
                return; // nobody waits for the rest
        }
        std::lock_guard lock(job->mutex);
        if (FileChooser *owner = job->owner)
            QMetaObject::invokeMethod(
                owner, [owner, job, path, typed, listing] { owner->answered(job, path, typed, listing); },
                Qt::QueuedConnection);
    }).detach();
}

void FileChooser::answered(const std::shared_ptr<Job> &job, const QString &path, bool typed, const Listing &listing)
{
    if (job != job_)
        return; // a newer request was made meanwhile
    job_.reset();
    switch (listing.kind) {
    case Listing::Kind::Folder:
        folder_ = path;
        folderLine_->setText(shownName(path));
        list_->clear();
        entries_ = listing.entries;
        if (typed)
            nameLine_->clear();
        showRows();
        return;
    case Listing::Kind::File:
        if (typed) {
            chosen_ = QStringList{path};
            QDialog::accept();
        }
        return;
    case Listing::Kind::Failed:
        break;
    }
    const QString shown = shownName(path);
    if (listing.error == ENOENT)
        status_->setText(typed ? qtText("%1\nFile not found.\nPlease verify the correct file name was given.").arg(shown)
                               : qtText("%1\nDirectory not found.\nPlease verify the correct directory name was given.")
                                     .arg(shown));
    else
        status_->setText(shown + QLatin1Char('\n') + QString::fromLocal8Bit(std::strerror(listing.error)));
}

void FileChooser::setPatterns(int typeIndex)
{
    patterns_.clear();
    if (typeIndex < 0 || typeIndex >= typePatterns_.size())
        return;
    for (const QString &pattern : typePatterns_.at(typeIndex))
        patterns_.append(QRegularExpression(QRegularExpression::wildcardToRegularExpression(pattern),
                                            QRegularExpression::CaseInsensitiveOption));
}

void FileChooser::showRows()
{
    list_->clear();
    const QIcon folderIcon = style()->standardIcon(QStyle::SP_DirIcon);
    const QIcon fileIcon = style()->standardIcon(QStyle::SP_FileIcon);
    for (qsizetype i = 0; i < entries_.size(); ++i) {
        const Entry &entry = entries_.at(i);
        if (!entry.folder && std::none_of(patterns_.cbegin(), patterns_.cend(), [&entry](const QRegularExpression &p) {
                return p.match(entry.shown).hasMatch();
            }))
            continue;
        auto *item = new QListWidgetItem(entry.folder ? folderIcon : fileIcon, entry.shown, list_);
        item->setData(EntryRole, int(i));
        if (!selectAfter_.isEmpty() && entry.folder && entry.name == selectAfter_)
            list_->setCurrentItem(item);
    }
    selectAfter_.clear();
}

const FileChooser::Entry &FileChooser::entryOf(const QListWidgetItem *item) const
{
    // The rows are cleared before the entries change; this guards a signal in between.
    static const Entry none{QString(), QString(), true};
    const int index = item->data(EntryRole).toInt();
    return index >= 0 && index < entries_.size() ? entries_.at(index) : none;
}

void FileChooser::goUp()
{
    if (folder_ == QLatin1String("/"))
        return;
    const qsizetype slash = folder_.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return;
    selectAfter_ = folder_.mid(slash + 1);
    request(slash == 0 ? QStringLiteral("/") : folder_.left(slash), false);
}

void FileChooser::selectionChanged()
{
    const QList<QListWidgetItem *> selected = list_->selectedItems();
    if (selected.size() == 1 && !entryOf(selected.first()).folder)
        nameLine_->setText(selected.first()->text());
    else if (lineShowsSelection_ || selected.size() > 1)
        nameLine_->clear();
    else
        return; // a name being typed stays
    lineShowsSelection_ = true;
}

QString FileChooser::resolve(const QString &typed) const
{
    QString path = typed;
    if (path == QLatin1String("~") || path.startsWith(QLatin1String("~/")))
        path = QDir::homePath() + path.mid(1);
    else if (!path.startsWith(QLatin1Char('/')))
        path = folder_ + QLatin1Char('/') + path;
    return QDir::cleanPath(path);
}

void FileChooser::accept()
{
    const QString typed = nameLine_->text().trimmed();
    if (!typed.isEmpty() && !lineShowsSelection_) {
        request(resolve(typed), true);
        return;
    }
    QList<QListWidgetItem *> selected = list_->selectedItems();
    // Nothing selected: Enter acts on the row that has the focus frame.
    if (selected.isEmpty() && list_->currentItem())
        selected.append(list_->currentItem());
    std::sort(selected.begin(), selected.end(),
              [this](QListWidgetItem *a, QListWidgetItem *b) { return list_->row(a) < list_->row(b); });
    const QString base = folder_ == QLatin1String("/") ? QString() : folder_;
    if (selected.size() == 1) {
        const Entry &entry = entryOf(selected.first());
        if (entry.folder && !entry.name.isEmpty()) {
            request(base + QLatin1Char('/') + entry.name, false);
            return;
        }
    }
    QStringList files;
    for (QListWidgetItem *item : std::as_const(selected)) {
        const Entry &entry = entryOf(item);
        if (!entry.folder)
            files.append(base + QLatin1Char('/') + entry.name);
    }
    if (files.isEmpty())
        return;
    chosen_ = files;
    QDialog::accept();
}

bool FileChooser::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool altUp = key->key() == Qt::Key_Up && key->modifiers() == Qt::AltModifier;
        const bool back = watched == list_ && key->key() == Qt::Key_Backspace && key->modifiers() == Qt::NoModifier;
        if (altUp || back) {
            goUp();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
