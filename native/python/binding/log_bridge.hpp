#pragma once
// Hands the core's log records to Python's `logging`: target T goes to the logger
// "vesk_quant.T". A NullHandler on "vesk_quant" keeps the records silent until the user
// configures logging.
namespace vesk::py {

// Idempotent; call with the interpreter initialised (from a registration step).
void install_python_log_sink();

}  // namespace vesk::py
