/* Keeps libvelkor_rx.so loadable on glibc 2.17 and later.
 *
 * The library carries its C++ runtime (libstdc++ and the unwinder) statically, and
 * that runtime, built against this machine's newer glibc, refers to a few glibc
 * symbols that old hosts lack. The definitions below satisfy those references
 * inside the library, with the C library's functions of 2.17 or earlier. The
 * version script makes all of them local: the simulator never sees them, and they
 * never replace the host's own.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <link.h>
#include <math.h>
#include <pthread.h>
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#define LOCAL __attribute__((visibility("hidden")))

/* The old versions of functions that newer glibc also exports under a newer
 * version: the references of this file bind to the old ones. */
extern int old_pthread_once(pthread_once_t* once, void (*routine)(void));
extern int old_pthread_key_create(pthread_key_t* key, void (*destructor)(void*));
extern int old_pthread_key_create_public(pthread_key_t* key, void (*destructor)(void*));
extern int old_pthread_key_delete(pthread_key_t key);
extern void* old_pthread_getspecific(pthread_key_t key);
/* The value is stored, never read through: "none" keeps GCC from taking it for a read. */
extern int old_pthread_setspecific(pthread_key_t key, const void* value) __attribute__((access(none, 2)));
extern int old_pthread_rwlock_rdlock(pthread_rwlock_t* lock);
extern int old_pthread_rwlock_wrlock(pthread_rwlock_t* lock);
extern int old_pthread_rwlock_unlock(pthread_rwlock_t* lock);
extern int old_fxstat64(int version, int fd, struct stat64* status);
extern int old_xstat(int version, const char* path, struct stat* status);
extern int old_lxstat(int version, const char* path, struct stat* status);
extern double old_exp(double x);
extern double old_log(double x);
extern double old_pow(double x, double y);
__asm__(".symver old_pthread_once, pthread_once@GLIBC_2.2.5");
__asm__(".symver old_pthread_key_create, __pthread_key_create@GLIBC_2.2.5");
__asm__(".symver old_pthread_key_create_public, pthread_key_create@GLIBC_2.2.5");
__asm__(".symver old_pthread_key_delete, pthread_key_delete@GLIBC_2.2.5");
__asm__(".symver old_pthread_getspecific, pthread_getspecific@GLIBC_2.2.5");
__asm__(".symver old_pthread_setspecific, pthread_setspecific@GLIBC_2.2.5");
__asm__(".symver old_pthread_rwlock_rdlock, pthread_rwlock_rdlock@GLIBC_2.2.5");
__asm__(".symver old_pthread_rwlock_wrlock, pthread_rwlock_wrlock@GLIBC_2.2.5");
__asm__(".symver old_pthread_rwlock_unlock, pthread_rwlock_unlock@GLIBC_2.2.5");
__asm__(".symver old_fxstat64, __fxstat64@GLIBC_2.2.5");
__asm__(".symver old_xstat, __xstat@GLIBC_2.2.5");
__asm__(".symver old_lxstat, __lxstat@GLIBC_2.2.5");
__asm__(".symver old_exp, exp@GLIBC_2.2.5");
__asm__(".symver old_log, log@GLIBC_2.2.5");
__asm__(".symver old_pow, pow@GLIBC_2.2.5");

/* Until glibc 2.34 the thread functions live in libpthread, which the library
 * therefore names as a dependency; later glibc keeps these versions in libc. */
LOCAL int pthread_once(pthread_once_t* once, void (*routine)(void)) { return old_pthread_once(once, routine); }

LOCAL int __pthread_key_create(pthread_key_t* key, void (*destructor)(void*)) {
    return old_pthread_key_create(key, destructor);
}

/* Thread-specific keys and reader-writer locks, which the runtime's locale and
 * number-reading code use (std::from_chars reads the model's numbers). */
LOCAL int pthread_key_create(pthread_key_t* key, void (*destructor)(void*)) {
    return old_pthread_key_create_public(key, destructor);
}
LOCAL int pthread_key_delete(pthread_key_t key) { return old_pthread_key_delete(key); }
LOCAL void* pthread_getspecific(pthread_key_t key) { return old_pthread_getspecific(key); }
LOCAL int pthread_setspecific(pthread_key_t key, const void* value) { return old_pthread_setspecific(key, value); }
LOCAL int pthread_rwlock_rdlock(pthread_rwlock_t* lock) { return old_pthread_rwlock_rdlock(lock); }
LOCAL int pthread_rwlock_wrlock(pthread_rwlock_t* lock) { return old_pthread_rwlock_wrlock(lock); }
LOCAL int pthread_rwlock_unlock(pthread_rwlock_t* lock) { return old_pthread_rwlock_unlock(lock); }

/* Tells the runtime whether it may skip atomic operations. 0, "threads may run",
 * is always safe: a simulator may drive the model from any of its threads. */
LOCAL char __libc_single_threaded = 0;

/* Before 2.33 the stat functions were static wrappers around __fxstat64, __xstat
 * and __lxstat (stat version 1). */
LOCAL int fstat64(int fd, struct stat64* status) { return old_fxstat64(1, fd, status); }
LOCAL int stat(const char* path, struct stat* status) { return old_xstat(1, path, status); }
LOCAL int lstat(const char* path, struct stat* status) { return old_lxstat(1, path, status); }

/* exp, log and pow got a new version in 2.29 (errno handling only; the results are
 * the same numbers). */
LOCAL double exp(double x) { return old_exp(x); }
LOCAL double log(double x) { return old_log(x); }
LOCAL double pow(double x, double y) { return old_pow(x, y); }

#ifdef DLFO_STRUCT_HAS_EH_DBASE /* a toolchain whose unwinder asks glibc 2.35 */
/* Where an address lies among the loaded objects, for the unwinder that looks up
 * the exception tables when the library throws and catches an exception. glibc
 * 2.35 has this built in; dl_iterate_phdr (2.2.5) gives the same answer. */
struct FindObjectSearch {
    uintptr_t address;
    struct dl_find_object* result;
    int found;
};

static int FindObjectInModule(struct dl_phdr_info* info, size_t size, void* data) {
    (void)size;
    struct FindObjectSearch* search = (struct FindObjectSearch*)data;
    uintptr_t start = UINTPTR_MAX, end = 0, ehFrame = 0;
    int contains = 0;
    for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)* segment = &info->dlpi_phdr[i];
        const uintptr_t from = info->dlpi_addr + segment->p_vaddr;
        if (segment->p_type == PT_LOAD) {
            const uintptr_t to = from + segment->p_memsz;
            if (from < start) start = from;
            if (to > end) end = to;
            if (search->address >= from && search->address < to) contains = 1;
        } else if (segment->p_type == PT_GNU_EH_FRAME) {
            ehFrame = from;
        }
    }
    if (!contains) return 0;
    search->result->dlfo_flags = 0;
    search->result->dlfo_map_start = (void*)start;
    search->result->dlfo_map_end = (void*)end;
    search->result->dlfo_link_map = NULL;
    search->result->dlfo_eh_frame = (void*)ehFrame;
    search->found = 1;
    return 1;
}

LOCAL int _dl_find_object(void* address, struct dl_find_object* result) {
    struct FindObjectSearch search = {(uintptr_t)address, result, 0};
    dl_iterate_phdr(FindObjectInModule, &search);
    return search.found ? 0 : -1;
}
#endif

/* Random bytes for std::random_device, which the model never uses but the static
 * runtime still links: the getrandom system call where the kernel has it (3.17),
 * /dev/urandom otherwise. */
static int ReadUrandom(unsigned char* bytes, size_t length) {
    const int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    size_t done = 0;
    while (done < length) {
        const ssize_t n = read(fd, bytes + done, length - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += (size_t)n;
    }
    close(fd);
    return done == length ? 0 : -1;
}

LOCAL int getentropy(void* buffer, size_t length) {
    if (length > 256) {
        errno = EIO;
        return -1;
    }
    unsigned char* bytes = (unsigned char*)buffer;
    size_t done = 0;
    while (done < length) {
        const long n = syscall(SYS_getrandom, bytes + done, length - done, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == ENOSYS) return ReadUrandom(bytes + done, length - done);
        if (n < 0) return -1;
        done += (size_t)n;
    }
    return 0;
}

LOCAL uint32_t arc4random(void) {
    uint32_t value;
    if (getentropy(&value, sizeof value) != 0) abort(); /* glibc's arc4random cannot fail either */
    return value;
}
