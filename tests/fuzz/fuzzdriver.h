#ifndef FUZZDRIVER_H
#define FUZZDRIVER_H

#include <cstddef>
#include <cstdint>
#include <cstring>

// Hands out the fuzzer's bytes as the answers a driver gives;
// once the bytes run out every answer is zero.
class FuzzInput
{
public:
    FuzzInput(const uint8_t *data, size_t size) : data(data), size(size) {}

    uint8_t byte() { return offset < size ? data[offset++] : 0; }

    template <typename Number>
    Number next()
    {
        Number value = 0;
        take(&value, sizeof value);
        return value;
    }

    // Copies up to count bytes into target and zero-fills the rest.
    void take(void *target, size_t count)
    {
        const size_t available = offset < size ? size - offset : 0;
        const size_t copied = count < available ? count : available;
        if (copied)
            memcpy(target, data + offset, copied);
        memset(static_cast<uint8_t *>(target) + copied, 0, count - copied);
        offset += copied;
    }

private:
    const uint8_t *data;
    size_t size;
    size_t offset = 0;
};

// The OpenCL query functions of a driver whose every answer (status,
// count, size, bytes) comes from the fuzzer. It keeps the one promise real
// drivers keep: it never writes more than the caller's buffer holds.
void setFuzzDriverInput(FuzzInput *input);

#endif
