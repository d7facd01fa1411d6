// The three IBIS-AMI entry points the simulator loads by name: plain C names,
// the standard argument lists, and no exception crossing into the simulator.
#include "ami/AmiModelInstance.h"

#if defined(_WIN32)
#define VELKOR_EXPORT extern "C" __declspec(dllexport)
#else
#define VELKOR_EXPORT extern "C" __attribute__((visibility("default")))
#endif

VELKOR_EXPORT long AMI_Init(double* impulse_matrix, long row_size, long aggressors, double sample_interval,
                            double bit_time, char* AMI_parameters_in, char** AMI_parameters_out,
                            void** AMI_memory_handle, char** msg) {
    return ami::Init(impulse_matrix, row_size, aggressors, sample_interval, bit_time, AMI_parameters_in,
                     AMI_parameters_out, AMI_memory_handle, msg);
}

VELKOR_EXPORT long AMI_GetWave(double* wave, long wave_size, double* clock_times, char** AMI_parameters_out,
                               void* AMI_memory) {
    return ami::GetWave(wave, wave_size, clock_times, AMI_parameters_out, AMI_memory);
}

VELKOR_EXPORT long AMI_Close(void* AMI_memory) { return ami::Close(AMI_memory); }
