// A model library whose AMI_Init always fails, for the host's error path.
extern "C" __attribute__((visibility("default"))) long AMI_Init(double*, long, long, double, double, char*, char**,
                                                                 void** memory, char** message) {
    static char text[] = "Fake model refuses to start.";
    *memory = nullptr;
    *message = text;
    return 0;
}
extern "C" __attribute__((visibility("default"))) long AMI_GetWave(double*, long, double*, char**, void*) { return 0; }
extern "C" __attribute__((visibility("default"))) long AMI_Close(void*) { return 1; }
