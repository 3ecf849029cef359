-- Recursive calls: the naive Fibonacci recursion, about 18 million calls.
local function fib(n)
    if n < 2 then return n end
    return fib(n - 1) + fib(n - 2)
end

local function main()
    local n = 34
    print("fib(" .. n .. ") = " .. fib(n))
end

main()
