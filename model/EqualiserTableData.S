/* Embeds the equaliser table file (model/data/equaliser_table.f64) into the
   library: the model needs no file at run time. The file is a 16-byte header
   followed by 641 time stamps and 816 x 641 responses, little-endian binary64. */
#if defined(_WIN32)
        .section .rdata,"dr"
#else
        .section .rodata
#endif
        .balign 16
        .globl velkor_equaliser_time_stamps
        .globl velkor_equaliser_responses
#if !defined(_WIN32)
        .hidden velkor_equaliser_time_stamps
        .hidden velkor_equaliser_responses
        .type velkor_equaliser_time_stamps, @object
        .type velkor_equaliser_responses, @object
#endif
velkor_equaliser_time_stamps:
        .incbin VELKOR_EQUALISER_TABLE_FILE, 16, 5128
velkor_equaliser_responses:
        .incbin VELKOR_EQUALISER_TABLE_FILE, 5144, 4184448
#if !defined(_WIN32)
        .section .note.GNU-stack,"",@progbits
#endif
