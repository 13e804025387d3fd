// Standard normal distribution functions.
#pragma once

double erfcc_(const double& x);
double cum_pdf1__(const double& x);
// Cumulative proportions to normal deviates; cump and zdev point to element 1.
int ptoz_(const double* cump, const int& n, const int& l, const int& datsum, double* zdev);
