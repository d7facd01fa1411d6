// velkor-eqgen: computes the equaliser's table of 816 impulse responses from the
// continuous-time model and writes it in the table file format.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "tools/eqgen/EqualiserModel.h"

int main(int argc, char** argv) {
    if (argc != 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        std::fprintf(argc == 2 ? stdout : stderr,
                     "usage: velkor-eqgen OUTPUT\n"
                     "Computes the Velkor_Rx equaliser table (816 sets x 641 points and the time\n"
                     "stamps) and writes it to OUTPUT in the format of model/data/README.md.\n");
        return argc == 2 ? 0 : 2;
    }
    const eqgen::Table table = eqgen::Generate();
    if (!eqgen::WriteTable(table, argv[1])) {
        std::fprintf(stderr, "velkor-eqgen: cannot write '%s'\n", argv[1]);
        return 1;
    }
    double lo = 1e300, hi = -1e300;
    for (int s = 0; s < eqgen::kSets; ++s) {
        double sum = 0;
        for (int i = 0; i < eqgen::kDcPoints; ++i) sum += table.responses[s * eqgen::kPoints + i];
        const double dc = sum * eqgen::kStep;
        lo = std::fmin(lo, dc);
        hi = std::fmax(hi, dc);
    }
    std::printf("wrote %s: zero of code 0 %.6g Hz, delay %.6g s, DC gain %.6f ... %.6f\n", argv[1],
                table.zeroAtCode0, table.delayAtTypical, lo, hi);
    return 0;
}
