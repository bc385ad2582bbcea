#include "field/random_generator.h"

static uint32_t generatorState = 1;

void srandZask(uint32_t seed)
{
    generatorState = seed;
}

int32_t randZask()
{
    generatorState = generatorState * 214013u + 2531011u;
    return static_cast<int32_t>((generatorState >> 16) & 0x7FFF);
}
