#include "IbisParser/AmiParamReader.h"
#include "ami/AmiModelInstance.h"

namespace ami {

void BindParameters(const char* parametersIn, Velkor_Rx& model, std::string& message) {
    const AmiParamReader reader(parametersIn);
    const struct {
        const char* path;
        const char* name;
        std::int32_t& field;
    } parameters[] = {
        {"Velkor_Rx.CDR_Threshold", "CDR_Threshold", model.CDR_Threshold},
        {"Velkor_Rx.anlg_eql_gaincode", "anlg_eql_gaincode", model.anlg_eql_gaincode},
        {"Velkor_Rx.anlg_eql_zerocode", "anlg_eql_zerocode", model.anlg_eql_zerocode},
        {"Velkor_Rx.anlg_eql_gainboost", "anlg_eql_gainboost", model.anlg_eql_gainboost},
        {"Velkor_Rx.corner", "corner", model.corner},
    };
    for (const auto& p : parameters) {
        if (reader.GetInt(p.field, p.path)) continue;
        message += "The IBIS-AMI model, Velkor_Rx, is unable to initialize the parameter ";
        message += p.name;
        message += " from the AMI_Init arguments.  The model will use the default setting. ";
    }
}

}  // namespace ami
