// The topic tree: builds TreeDb from the database (TreeObnov and the start-up build) and reacts
// to its selection (TreeDbChange) by positioning the data module's cursors, switching the popup
// menu and the tool buttons, writing the status panel and filling the preview.
//
// A build refreshes every topic's stored question count, fills TopicSlots, adds one node per
// topic and question and writes one TbTema row per node; a selected node is mapped back to its
// topic and question through the TbTema row whose id is the node's position in the fully
// expanded tree (its index in a pre-order walk).
//
// Topics after the 14th: TopicSlots holds 14 slots only. The topics after it are kept, in the
// same build, in slots of this class (extraSlot()), so they get the caption "Тема k. " + name,
// their question nodes and a topic summary like the first 14; TopicSlots itself is filled and
// read exactly as for 14 topics.
//
// The widgets are the main window's; this class owns none of them and takes them through
// TreeControls, so it does not depend on the main window. All of it runs on the GUI thread; the
// tree's selection notifications arrive synchronously, also while a build clears and fills
// the tree, and the gates TreeEventsOn and TreeComplete decide how much of TreeDbChange runs.
#pragma once

#include <QIcon>
#include <QObject>
#include <QString>
#include <array>
#include <functional>
#include <vector>

#include "store/session.h"

class QAction;
class QMenu;
class QProgressBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace zn {

class TDatMod;

// Name and question count of a topic as of the last build.
struct TopicSlot {
    QString name;
    int count = 0;
};

// The main window's controls the tree works with. Pointers are not owned and may be null
// (that control is then left alone); empty callbacks do nothing.
struct TreeControls {
    QTreeWidget* treeDb = nullptr;
    QProgressBar* progBar1 = nullptr;
    QMenu* popupMenu1 = nullptr;  // topic menu
    QMenu* popupMenu2 = nullptr;  // question menu
    // Gives the tree the popup menu it shows on a right click.
    std::function<void(QMenu*)> setTreePopup;
    // ToolBar2's topic buttons Buttem1..3 and question buttons Butvop1..3.
    std::array<QAction*, 3> buttem{};
    std::array<QAction*, 3> butvop{};
    // HV's one operation: load a document from an HTML text, replacing what it showed.
    std::function<void(const QString&)> loadPreview;
    // The first status panel, and a repaint of the status bar at once.
    std::function<void(const QString&)> setStatusText;
    std::function<void()> repaintStatus;
    // The image list: node images 0 (topic), 1 (question), 2 (selected question).
    std::function<QIcon(int)> image;
    // The editor page's pieces: clear the text of the picture-name box EdImage; make the answers
    // panel PanOtv and its group box GroupBox4 visible.
    std::function<void()> clearEdImage;
    std::function<void()> showAnswersPanel;
    // Runs a selection the user made (the tree's notification) so that an error is reported
    // and ends only the handler; empty: errors propagate to whoever changed the selection.
    std::function<void(const std::function<void()>&)> runGuarded;
    // Whether the editing commands may be offered (false while the database is read-only): the
    // selection then leaves every topic and question button disabled. Empty: always.
    std::function<bool()> editingAllowed;
};

class TopicTree : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TopicTree)

  public:
    // Node images, indexes into the image list.
    static constexpr int kTopicImage = 0;
    static constexpr int kQuestionImage = 1;
    static constexpr int kSelectedQuestionImage = 2;
    // Item data roles under which a node keeps its image indexes (image and selected image).
    static constexpr int kImageRole = Qt::UserRole + 1;
    static constexpr int kSelectedImageRole = Qt::UserRole + 2;

    // Connects TreeDbChange to the tree's selection changes, moves the selection to a topic that is
    // collapsed over it, and shows cut captions as tooltips. `dm`, `session` and the controls
    // must outlive this object.
    TopicTree(TDatMod& dm, const Session& session, TreeControls controls,
              QObject* parent = nullptr);
    ~TopicTree() override;

    TreeControls& controls() { return c_; }

    // Rebuilds the tree from the database: refreshes every topic's kolvopr, the slots, the nodes
    // and the TbTema rows, then selects the first topic's first question (the first topic when
    // it has none). With no topics (or qrtema closed) the tree is left empty and nothing else
    // changes but the commands (updateCommands()). Engine errors propagate; the build stops
    // where they occur.
    void TreeObnov();
    // The start-up form of the build, run once by the main window's show step after qrtema was
    // opened and TbTema emptied: the first node is selected as soon as the first topic's nodes
    // exist, and the gates are opened then (TreeEventsOn stays 0 when there are no topics).
    void startupBuild();

    // The selection handler: `node` is the newly selected node (null: nothing is selected, which
    // is ignored).
    void TreeDbChange(QTreeWidgetItem* node);

    // Switches the tool bar's topic and question commands as the selected node wants them: a
    // question node disables the topic commands, a topic node editing and deleting a question,
    // and with no node (an empty bank) only the topic commands stay; all are off while the
    // database cannot be written. The selection runs this; so does the main window whenever it
    // switches the editing commands back on.
    void updateCommands();

    // The node's position in the fully expanded tree (pre-order index from 0).
    static int nodePosition(const QTreeWidgetItem* node);
    // Whether the tree shows `node`'s caption cut (with "…") because its column is too narrow;
    // such a node shows its whole caption as a tooltip.
    static bool captionIsCut(const QTreeWidget* tree, const QTreeWidgetItem* node);

    // Name and question count of topic k (from 1) as of the last build: TopicSlots for k <= 14,
    // extraSlot(k) after that.
    const TopicSlot& slot(int k) const;
    // Topics after the 14th; REQUIRES k > 14. A default slot when the last build had no topic k.
    const TopicSlot& extraSlot(int k) const;
    // Whether the last build gave topic k a slot (1..14 always; after that, if it existed).
    bool hasSlot(int k) const;

    // --- The tree's state, read by the selection and set by the builds (public for tests)
    // Gates: while TreeEventsOn is not 1 a selection does nothing; while TreeComplete is not 1 a
    // selection only positions the datasets. Both 0 before the first build.
    unsigned char TreeEventsOn = 0;
    unsigned char TreeComplete = 0;
    // The first 14 topics in topic-number order: slots 1..14 (slot 0 unused).
    std::array<TopicSlot, 15> TopicSlots;
    // Topic and question number of the selected question node (0 and 0 for a topic node).
    int SelectedTopicNo = 0;
    int SelectedQuestionNo = 0;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void refreshQuestionCounts();
    void fillSlots();
    // Adds topic k's node and its question nodes with their TbTema rows, from the slots.
    void addTopicNodes(int k, int& nodeIndex);
    void appendTbTemaRow(int id, int nb, const QString& name, int bil, int vop);
    void applySelectionRule();
    void showTopicSummary(int k);
    void clearTree();
    // An icon showing image `image`, and `selectedImage` while its node is selected.
    QIcon nodeIcon(int image, int selectedImage) const;
    void makeIcons();
    // The build's share of the progress bar: `step` of `total`.
    void buildProgress(int step, int total);

    bool editingAllowed() const { return !c_.editingAllowed || c_.editingAllowed(); }

    TDatMod& dm_;
    const Session& session_;
    TreeControls c_;
    std::vector<TopicSlot> extraSlots_;  // topics 15.. of the last build
    QIcon topicIcon_, questionIcon_;
};

}  // namespace zn
