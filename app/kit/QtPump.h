#pragma once

// Makes PumpWait keep the interface alive: it runs the Qt event loop of the
// calling thread for the time asked.
void InstallQtPumpWait();
