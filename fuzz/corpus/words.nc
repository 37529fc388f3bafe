G0 X5 Y-3 Z2
F60
g1 x+32767 y-32768 (comment)
; note
N10 G1 X1
