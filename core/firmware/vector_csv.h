#pragma once
// The vectors as CSV, for teams that feed their own test framework: one
// header, one row per vector, whole numbers, '\n' line ends.
//
// pid:  vector,w,x,y,ta,e,eSum,ePrev,kp,ki,kd,actual,w_after,x_after,...,kd_after,rules,case
//       vector counts from 1; the record before the step, the measured value,
//       the record after it; rules names the rules of the step the vector
//       exercises, joined by '|'; case names an edge case (empty for the
//       random vectors).
// run:  pass,speed,position,command_x,position_w,...,position_kd,speed_w,...,speed_kd,pwm_duty,pwm_direction
//       pass 0 is the state the run starts from; pass N >= 1 the inputs of
//       that pass (speed, position, command_x) and the state its loops left.
//       In speed mode position and command_x are empty; so is command_x of pass 0.
#include "core/firmware/pid_vectors.h"
#include "core/firmware/run_vectors.h"

#include <span>
#include <string>

std::string pid_vectors_csv(std::span<const PidVector> vectors);
std::string run_vectors_csv(const RunVectors& run);
