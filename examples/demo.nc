%
(The built-in demo: eight linear moves, each relative to where the last one ended.)
G91 G1 X50 Y110
X50
X-10 Y-25
X30
Y-26
X-40
X-30 Y-60
X-50
M30
%
