#include "AmiParams/AmiParamReader.h"
#include "ami/AmiModelInstance.h"

namespace ami {

void BindParameters(const char* parametersIn, Velkor_Rx& model, std::string& message) {
    const AmiParamReader reader(parametersIn);
    const struct {
        const char* path;
        const char* name;
        std::int32_t& field;
        std::int32_t lowest, highest;  // the range the model file declares
    } parameters[] = {
        {"Velkor_Rx.CDR_Threshold", "CDR_Threshold", model.CDR_Threshold, 0, 7},
        {"Velkor_Rx.anlg_eql_gaincode", "anlg_eql_gaincode", model.anlg_eql_gaincode, -1, 16},
        {"Velkor_Rx.anlg_eql_zerocode", "anlg_eql_zerocode", model.anlg_eql_zerocode, 0, 7},
        {"Velkor_Rx.anlg_eql_gainboost", "anlg_eql_gainboost", model.anlg_eql_gainboost, 0, 1},
        {"Velkor_Rx.corner", "corner", model.corner, 0, 2},
    };
    for (const auto& p : parameters) {
        if (reader.GetInt(p.field, p.path)) continue;
        message += "The IBIS-AMI model, Velkor_Rx, is unable to initialize the parameter ";
        message += p.name;
        message += " from the AMI_Init arguments.  The model will use the default setting. ";
    }
    // A value outside its range is used as given (a corner or boost beyond the
    // table silences the limiter, a loop setting beyond 0 ... 7 lets the clock run
    // free, codes beyond the table select set 1), but never without a word.
    for (const auto& p : parameters) {
        if (p.field >= p.lowest && p.field <= p.highest) continue;
        message += "The IBIS-AMI model, Velkor_Rx, was given the parameter ";
        message += p.name;
        message += " = " + std::to_string(p.field) + ", outside its range " + std::to_string(p.lowest) + " to " +
                   std::to_string(p.highest) + ". ";
    }
}

}  // namespace ami
