// The tree tests' harness: a TopicTree on a small test database with stand-ins for the main
// window's controls that record what the tree does to them, in order.
#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QPixmap>
#include <QProgressBar>
#include <QTreeWidget>
#include <memory>
#include <string>
#include <vector>

#include "preview/questionpage.h"
#include "tests/preview_testing.h"
#include "tree/topictree.h"

namespace treetest {

// The colour of image-list stand-in `index`, so that a node's icon shows which image it carries.
inline QColor imageColour(int index) {
    return QColor::fromHsv((index * 40) % 360, 255, 200);
}

struct TbTemaRow {
    int id, nb;
    std::string name;
    int bil, vop;
    bool operator==(const TbTemaRow&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const TbTemaRow& r) {
    return os << "(" << r.id << ", " << r.nb << ", " << r.name << ", " << r.bil << ", " << r.vop
              << ")";
}

class TreeHarness : public ::testing::Test {
  protected:
    void SetUp() override {
        ZN_REQUIRE_FIXTURES();
        session.dataFolder = QStringLiteral("/data folder/");
        bank = std::make_unique<previewtest::TestBank>(dm);
        popupMenu1.setObjectName(QStringLiteral("PopupMenu1"));
        popupMenu2.setObjectName(QStringLiteral("PopupMenu2"));
        for (int i = 0; i < 6; ++i) actions.push_back(std::make_unique<QAction>());

        zn::TreeControls c;
        c.treeDb = &treeDb;
        c.progBar1 = &progBar1;
        c.popupMenu1 = &popupMenu1;
        c.popupMenu2 = &popupMenu2;
        c.setTreePopup = [this](QMenu* m) {
            log.push_back("popup " + m->objectName().toStdString());
        };
        for (int i = 0; i < 3; ++i) {
            c.buttem[size_t(i)] = actions[size_t(i)].get();
            c.butvop[size_t(i)] = actions[size_t(i + 3)].get();
        }
        c.loadPreview = [this](const QString& html) {
            log.push_back("preview");
            previews.push_back(html);
            topicsAtPreview.push_back(treeDb.topLevelItemCount());
        };
        c.setStatusText = [this](const QString& t) { log.push_back("status " + t.toStdString()); };
        c.repaintStatus = [this] { log.push_back("repaint"); };
        c.image = [](int i) {
            QPixmap p(16, 16);
            p.fill(imageColour(i));
            return QIcon(p);
        };
        c.clearEdImage = [this] { log.push_back("EdImage cleared"); };
        c.showAnswersPanel = [this] { log.push_back("answers shown"); };
        tree = std::make_unique<zn::TopicTree>(dm, session, c);
        tree->SelectedTopicNo = tree->SelectedQuestionNo = -1;
        progBar1.setValue(0);  // as the main window's creation step leaves it
        QObject::connect(&progBar1, &QProgressBar::valueChanged,
                         [this](int v) { progress.push_back(v); });
    }
    void TearDown() override {
        tree.reset();
        bank.reset();
    }

    // The rows of TbTema in order (moves its cursor).
    std::vector<TbTemaRow> tbTemaRows() {
        std::vector<TbTemaRow> out;
        zn::MemTable& t = dm.TbTema;
        for (t.first(); !t.eof(); t.next())
            out.push_back({int(t.asInteger("id")), int(t.asInteger("nb")),
                           t.asString("name").toStdString(), int(t.asInteger("bil")),
                           int(t.asInteger("vop"))});
        return out;
    }

    // Enabled state of Buttem1..3, Butvop1..3 as "111000".
    std::string buttons() const {
        std::string s;
        for (const auto& a : actions) s += a->isEnabled() ? '1' : '0';
        return s;
    }

    // The page of question q of topic k, positioned as a selection would position it.
    QString pageOf(int k, int q) {
        EXPECT_TRUE(dm.qrtema.locate("numtema", k));
        dm.qrvoprosi.locate("idvopr", q);
        return zn::VoptoStrUniv(dm, session.dataFolder,
                                QString::number(k) + u'_' + QString::number(q));
    }

    QTreeWidgetItem* node(int topic, int question = 0) {
        QTreeWidgetItem* t = treeDb.topLevelItem(topic - 1);
        return question == 0 ? t : t->child(question - 1);
    }

    void clearRecords() {
        log.clear();
        previews.clear();
        topicsAtPreview.clear();
        progress.clear();
    }

    zn::Session session;
    zn::TDatMod dm;
    std::unique_ptr<previewtest::TestBank> bank;
    QTreeWidget treeDb;
    QProgressBar progBar1;
    QMenu popupMenu1, popupMenu2;
    std::vector<std::unique_ptr<QAction>> actions;
    std::unique_ptr<zn::TopicTree> tree;

    std::vector<std::string> log;
    std::vector<QString> previews;
    std::vector<int> topicsAtPreview;  // top-level nodes when each preview was loaded
    std::vector<int> progress;         // every value the progress bar took
};

}  // namespace treetest
