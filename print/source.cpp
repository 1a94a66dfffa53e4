// Reading the bank for a printout (see source.h).
#include "print/source.h"

#include "store/rows.h"
#include "store/tdatmod.h"

namespace zn::print {

Source readSource(TDatMod& dm) {
    zn::BankRows rows = zn::readBankRows(dm.Conn.database());
    Source s;
    s.info = readInfoRecords(dm);
    s.topics = std::move(rows.topics);
    s.questions = std::move(rows.questions);
    s.answers = std::move(rows.answers);
    return s;
}

}  // namespace zn::print
