#pragma once

namespace orvela {

/// Creates the three long-lived forms in their order: the main window, the criteria search dialog and
/// the about box. Each reference is set before the form's creation handler runs; an error there is
/// shown in the error box and the start goes on.
void CreateForms();
/// Destroys the forms, the main window with its datasets (which may write the catalogue back).
void DestroyForms();
/// The program block: application, forms, message loop, destruction.
int RunProgram(int argc, char** argv);

} // namespace orvela
