// Column default values. Access keeps a column's default as its DefaultValue property (in the
// table's property blob, MSysObjects.LvProp): the text of an expression, evaluated by Access when
// a row is added without that column. This engine evaluates the literal forms:
//
//   numbers          42, -1.5, 2.5E3, .5        (an optional leading "=" is allowed on every form)
//   texts            "abc" or 'abc' (a doubled quote stands for one)
//   Yes/No           True, False, Yes, No, On, Off (as numbers: -1 and 0)
//   dates            #2024-02-29#, #2024-02-29 13:45:00#, #2/29/2024 1:45 PM#
//   Null
//
// Anything else (Now(), Date(), arithmetic, a field) is an expression it does not evaluate.
#pragma once

#include <string>
#include <string_view>

#include "jet/tabledef.h"
#include "jet/value.h"

namespace jet {

struct EvaluatedDefault {
    enum Kind {
        Literal,     // `value` is the default, converted to the column's type (NULL for Null)
        Expression,  // not a literal this engine evaluates
        Unfit,       // a literal the column cannot hold; `why` says so
    };
    Kind kind = Expression;
    Value value;
    std::string why;
};

// Evaluates the DefaultValue property `expression` for column `c`.
EvaluatedDefault evaluateDefault(const Column& c, std::u16string_view expression);

}  // namespace jet
