// The program's process-wide state: a few variables shared by the main window and the areas
// that work for it (tree, preview, editor, bulk operations). All are used on the GUI thread only.
#pragma once

#include <QString>
#include <array>

namespace zn {

// The folder "data" under the working directory at start-up, ending with the path separator:
// question pictures and the preview's background pictures live there.
inline QString DataFolder;
// Full path of the open database file.
inline QString DatabasePath;

// The first 14 topics in topic-number order: name and question count, as of the last tree build.
struct TopicSlot {
    QString name;
    int count = 0;
};
inline std::array<TopicSlot, 15> TopicSlots;  // slots 1..14; slot 0 unused

// Tree gates: while TreeEventsOn is not 1 a selection does nothing; while TreeComplete is not 1
// a selection only positions the datasets.
inline unsigned char TreeEventsOn = 0;
inline unsigned char TreeComplete = 0;

// Topic and question number of the selected question node (0 and 0 for a topic node).
inline int SelectedTopicNo = 0;
inline int SelectedQuestionNo = 0;

// How the question editor page was last opened.
inline bool QuestionAddMode = false;
inline bool QuestionEditMode = false;

}  // namespace zn
