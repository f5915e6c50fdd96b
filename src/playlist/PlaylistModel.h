#pragma once
// The playlist: the path list (the play order, ListBox2), the display names
// (row i shows path i, ListBox3) and the row drawn as playing.
// Plain class: no widgets; the playlist window shows it through a list view.
// A name is made when its row is first asked for (the view asks only for the rows it
// paints): a list of 100,000 MP3s would otherwise read 100,000 tags before it shows.
// Tags come from a TitleSource, which reads them off the GUI thread: an .MP3 row shows
// its file name until its title is known, then changes (dataChanged for the row).
#include <QAbstractListModel>
#include <QSet>
#include <QStringList>

#include <vector>

class TitleSource;
struct TagTitle;

class PlaylistModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit PlaylistModel(QObject *parent = nullptr);

    // Where .MP3 rows take their tag titles; without one every row shows its file name.
    // The source outlives the model.
    void setTitleSource(TitleSource *titles);

    // Path list.
    int count() const { return static_cast<int>(paths_.size()); }
    const QString &path(int index) const { return paths_.at(index); }
    const QStringList &paths() const { return paths_; }
    void setPaths(const QStringList &paths); // also rebuilds the display
    // Path list only; call zobrazit afterwards. A name holding a line break is refused
    // (the stored list is one name a line): false, and entryRefused tells.
    bool append(const QString &path);
    void removeAt(int index);                // both lists
    void move(int from, int to);             // both lists, as remove then insert; to < 0 appends

    // Drag-reorder of the selected rows onto target (-1: below the last row, append).
    // From the last row up: a selected row other than the target moves to the target and
    // loses its selection, and the same index is examined again. Rows above the target
    // arrive in their old order, rows below it in reverse. selected is updated in place.
    void moveSelected(std::vector<bool> &selected, int target);
    // Deletes the selected rows (both lists); PlayingIndex is not adjusted.
    void removeSelected(const std::vector<bool> &selected);

    // Rebuilds the display from the path list: every row shows its path's name (the tag
    // title for .MP3), asked of the title source when the row is next asked for.
    void zobrazit();
    // The row's name as it shows now: the file name while an .MP3's tag is not known.
    QString displayName(int index) const;

    int playingIndex() const { return playingIndex_; }
    void setPlayingIndex(int index);

    // QAbstractListModel
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // The name a path shows with this tag: the title of an .MP3 with an ID3v1 tag (even
    // an empty one), else the file name.
    static QString displayNameFor(const QString &path, const TagTitle &tag);

Q_SIGNALS:
    void countChanged(int count);
    void playingIndexChanged(int index);
    void entryRefused(const QString &path);

private:
    int shownRows() const { return static_cast<int>(names_.size()); }
    void titleKnown(const QString &path);
    void refreshAnswered();

    QStringList paths_;
    // One entry per shown row (the rows of the last rebuild, less deletes, with moves):
    // its name once made; known_ says which are. A row whose title is still pending is
    // not known: it is asked for again when next painted. Appended paths show after zobrazit.
    mutable std::vector<QString> names_;
    mutable std::vector<bool> known_;
    int playingIndex_ = 0;
    TitleSource *titles_ = nullptr;
    // Paths whose titles arrived since the rows were last looked through: one pass of
    // the list serves every answer of an event-loop round.
    QSet<QString> answered_;
};
