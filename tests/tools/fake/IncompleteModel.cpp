// A library with AMI_Init alone: not a GetWave model.
extern "C" __attribute__((visibility("default"))) long AMI_Init(double*, long, long, double, double, char*, char**,
                                                                 void**, char**) {
    return 1;
}
