// What a printout is made from: the bank's topics, questions and answers and its information
// records, read once as values. Everything after this read works on these values only, so the
// paper can be laid out, drawn and tested without the data module.
#pragma once

#include <QString>
#include <vector>

#include "bulk/inforecords.h"
#include "store/values.h"

namespace zn {
class TDatMod;
}  // namespace zn

namespace zn::print {

struct Source {
    InfoRecords info;
    std::vector<zn::Topic> topics;
    std::vector<zn::Question> questions;
    std::vector<zn::Answer> answers;  // Otveti.idvopr is the question's id
};

// Reads every topic, question and answer of the open bank through the engine (the rows as the
// problem check reads them; no dataset cursor moves) and the information records (tbSettings is
// left on its first row). Engine errors propagate.
// REQUIRES: dm.Conn and dm.tbSettings are open.
Source readSource(TDatMod& dm);

}  // namespace zn::print
