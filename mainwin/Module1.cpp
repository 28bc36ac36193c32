#include "mainwin/Module1.h"

namespace numora {

namespace {
Module1State& instance()
{
    static Module1State state;
    return state;
}
} // namespace

Module1State& Module1() { return instance(); }

void resetModule1() { instance() = Module1State{}; }

} // namespace numora
