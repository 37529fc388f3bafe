%
(A 200 x 200 square with a diagonal, reached by a jump.)
(Every move is relative to where the last one ended: G91, the only mode.)
G91
G0 X100 Y-180        ; jump to the lower left corner, in one step
G1 Y200              ; up the left side
X200                 ; along the top
Y-200                ; down the right side
X-200                ; back along the bottom
X200 Y200            ; the diagonal, split into pieces by the interpreter
M30
%
