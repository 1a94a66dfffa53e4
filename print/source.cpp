// Reading the bank for a printout (see source.h).
#include "print/source.h"

#include "problems/bankcheck.h"
#include "store/tdatmod.h"

namespace zn::print {

Source readSource(TDatMod& dm) {
    problems::BankRows rows = problems::readBankRows(dm.Conn.database());
    Source s;
    s.info = readInfoRecords(dm);
    s.topics = std::move(rows.topics);
    s.questions = std::move(rows.questions);
    s.answers = std::move(rows.answers);
    return s;
}

}  // namespace zn::print
