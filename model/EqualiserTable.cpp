#include "model/EqualiserTable.h"

extern "C" {
// Defined by EqualiserTableData.S from the table file.
extern const double velkor_equaliser_time_stamps[];
extern const double velkor_equaliser_responses[];
}

namespace EqualiserTable {

const double* Responses() { return velkor_equaliser_responses; }
const double* TimeStamps() { return velkor_equaliser_time_stamps; }

}  // namespace EqualiserTable
