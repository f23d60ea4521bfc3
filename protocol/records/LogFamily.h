#pragma once
// The two channel sets a detector's records carry, and so the columns of every
// log made of them: IR, or UV/IR.
enum class LogFamily { Ir, Uvir };
