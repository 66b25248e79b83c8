#pragma once

class SimulatedDongle;

// Answers to the connection-level reads and the parameter update request that
// the command forms send.
void installFormsBehaviour(SimulatedDongle &dongle);
