// The plotter's default message processing: the application object's, on a
// platform that has one.
#pragma once

// Dispatches the messages waiting for the application, when there is an
// application object; does nothing otherwise.
void ProcessApplicationMessages();
