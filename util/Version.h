#pragma once

// What every program prints for --version: the project's version, with the
// commit when it was built from a git checkout ("0.1.0 (git 1b739f8)").
const char* WexconVersion();
