function [f, J, domerr] = calls_lcpgate(x, flag)
  % shifted_identity whose evaluation solves a small LCP through lcpgate
  % (a different plug-in, which may run inside mcpgate's call).
  z = fresh(0);
  [status, time] = lcpgate(1, 1, z, 0, Inf, sparse(1), -1);
  if status ~= 1 || abs(z - 1) > 1e-8
    error('calls_lcpgate:failed', 'the inner lcpgate solve failed');
  end
  [f, J, domerr] = shifted_identity(x, flag);
end
