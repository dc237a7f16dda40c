#include "aMemoryBlock.h"

#include <cstring>

unsigned long long aMemoryBlock::objectCount = 0;

void* (*aMemoryBlock::hostCopy)(void*, const void*, std::size_t) = std::memcpy;
void* (*aMemoryBlock::hostFill)(void*, int, std::size_t) = std::memset;

void aMemoryBlock::MemoryCopy(char* dst, const char* src, unsigned long long len) {
    for (unsigned long long offset = 0; offset < len; offset += stepSize) {
        unsigned long long remaining = len - offset;
        std::size_t step = static_cast<std::size_t>(remaining < stepSize ? remaining : stepSize);
        hostCopy(dst + offset, src + offset, step);
    }
}

void aMemoryBlock::MemoryClear(char* dst, unsigned long long len) {
    for (unsigned long long offset = 0; offset < len; offset += stepSize) {
        unsigned long long remaining = len - offset;
        std::size_t step = static_cast<std::size_t>(remaining < stepSize ? remaining : stepSize);
        hostFill(dst + offset, 0, step);
    }
}
