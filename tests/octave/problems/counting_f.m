function [f, J, domerr] = counting_f(x, flag)
  % shifted_identity that counts its calls: counting_f([], 'count') returns
  % the number of calls so far, counting_f([], 'reset') zeroes it.
  persistent calls
  if isempty(calls)
    calls = 0;
  end
  if ischar(flag)
    f = calls;
    if strcmp(flag, 'reset')
      calls = 0;
    end
    J = []; domerr = [];
    return;
  end
  calls = calls + 1;
  [f, J, domerr] = shifted_identity(x, flag);
end
