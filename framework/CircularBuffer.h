// Typed ring-buffer ports. A buffer is a window onto storage it does not own.
#pragma once

#include <complex>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <type_traits>

namespace CorvaneModelBuilder {

// Abstract base of every port buffer; the typed buffers implement every slot.
class CircularBufferBase {
public:
    virtual ~CircularBufferBase() = default;
    virtual void CopyTo(std::uint64_t sourceOffset, CircularBufferBase& destination,
                        std::uint64_t destinationOffset, std::uint64_t count) = 0;
    virtual void CopyElements(const void* source, void* destination, std::uint64_t count) = 0;
    virtual bool Zero(std::uint64_t offset, std::uint64_t count) = 0;
    virtual void* AllocateRaw(std::uint64_t count) = 0;
    virtual void ReleaseRaw(void* array) = 0;
};

template <typename T>
class CircularBuffer final : public CircularBufferBase {
public:
    std::uint64_t Rate = 1;
    std::uint64_t RequiredSize = 1;
    std::uint64_t ElementSize = sizeof(T);
    std::uint64_t Position = 0;
    T* Storage = nullptr;
    std::uint64_t Capacity = 0;

    // Storage index of the element at offset k from the current one. Offsets are
    // valid while Position + k < 2 * Capacity: one wrap at most, no division.
    std::uint64_t IndexOf(std::uint64_t k) const {
        std::uint64_t p = Position + k;
        if (k != 0 && p >= Capacity) p -= Capacity;
        return p;
    }
    T& At(std::uint64_t k) { return Storage[IndexOf(k)]; }
    const T& At(std::uint64_t k) const { return Storage[IndexOf(k)]; }
    T& Current() { return Storage[Position]; }

    // Points the buffer at storage owned elsewhere (an edge cell or a ring).
    void Attach(T* storage, std::uint64_t capacity) {
        Storage = storage;
        Capacity = capacity;
        Position = 0;
        Rate = 1;
    }

    // Copies count elements, wrapping each ring on its own; positions stay.
    void CopyTo(std::uint64_t sourceOffset, CircularBuffer& destination,
                std::uint64_t destinationOffset, std::uint64_t count) {
        std::uint64_t s = IndexOf(sourceOffset);
        std::uint64_t d = destination.IndexOf(destinationOffset);
        if (count == 1) {
            destination.Storage[d] = Storage[s];
            return;
        }
        while (count > 0) {
            std::uint64_t n = count;
            if (Capacity - s < n) n = Capacity - s;
            if (destination.Capacity - d < n) n = destination.Capacity - d;
            std::memmove(static_cast<void*>(destination.Storage + d), Storage + s, n * sizeof(T));
            s += n;
            if (s == Capacity) s = 0;
            d += n;
            if (d == destination.Capacity) d = 0;
            count -= n;
        }
    }
    void CopyTo(std::uint64_t sourceOffset, CircularBufferBase& destination,
                std::uint64_t destinationOffset, std::uint64_t count) override {
        CopyTo(sourceOffset, static_cast<CircularBuffer&>(destination), destinationOffset, count);
    }

    void CopyElements(const void* source, void* destination, std::uint64_t count) override {
        if (count > 0) std::memmove(destination, source, count * ElementSize);
    }

    bool Zero(std::uint64_t offset, std::uint64_t count) override {
        for (std::uint64_t j = 0; j < count; ++j) Storage[IndexOf(offset + j)] = T{};
        return true;
    }

    // New array of count elements; an overflowing byte size becomes the largest
    // size so that the allocation fails with std::bad_alloc.
    T* Allocate(std::uint64_t count) {
        std::uint64_t bytes = 0;
        if (__builtin_mul_overflow(count, static_cast<std::uint64_t>(sizeof(T)), &bytes))
            bytes = std::numeric_limits<std::uint64_t>::max();
        if (bytes > static_cast<std::uint64_t>(std::numeric_limits<std::size_t>::max()))
            bytes = std::numeric_limits<std::size_t>::max();
        if (bytes == 0) bytes = sizeof(T);
        T* array = static_cast<T*>(::operator new[](static_cast<std::size_t>(bytes)));
        if constexpr (std::is_same_v<T, std::complex<double>>) {
            for (std::uint64_t i = 0; i < count; ++i) new (array + i) T(0.0, 0.0);
        }
        return array;
    }
    void* AllocateRaw(std::uint64_t count) override { return Allocate(count); }

    // With an array: frees it. With null: frees this buffer's own storage and
    // returns the buffer to the storage-less state.
    void Release(T* array) {
        if (array) {
            ::operator delete[](array);
            return;
        }
        ::operator delete[](Storage);
        Storage = nullptr;
        Position = 0;
        Capacity = 0;
    }
    void ReleaseRaw(void* array) override { Release(static_cast<T*>(array)); }
};

// A resizable, owned array of buffers of one type.
class CircularBufferBus {
public:
    virtual void Resize(std::uint64_t count) = 0;
    virtual ~CircularBufferBus() = default;
    virtual CircularBufferBase* At(std::uint64_t index) = 0;
};

template <typename B>
class CircularBufferBusT final : public CircularBufferBus {
public:
    std::uint64_t Count = 0;
    B* Buffers = nullptr;

    CircularBufferBusT() = default;
    CircularBufferBusT(const CircularBufferBusT&) = delete;
    CircularBufferBusT& operator=(const CircularBufferBusT&) = delete;
    ~CircularBufferBusT() override { delete[] Buffers; }

    // Same count keeps the buffers and their storage pointers; any other count
    // replaces them with default-constructed ones.
    void Resize(std::uint64_t count) override {
        if (count == Count) return;
        delete[] Buffers;
        Buffers = nullptr;
        Count = count;
        if (count > 0) Buffers = new B[count];
    }
    B* At(std::uint64_t index) override { return &Buffers[index]; }
};

extern template class CircularBuffer<double>;
extern template class CircularBuffer<int>;
extern template class CircularBuffer<std::complex<double>>;
extern template class CircularBufferBusT<CircularBuffer<double>>;

}  // namespace CorvaneModelBuilder
